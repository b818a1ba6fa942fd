#include "ReportCharts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "Markup.h"
#include "base/Text.h"

namespace quorvane::admin {
namespace {

constexpr std::size_t kColours = 7;
constexpr std::size_t kShapes = 4;  // circle, square, triangle, diamond

// A mark beyond the map's edge is drawn on it.
double OnMap(double percent) {
    return std::clamp(std::isfinite(percent) ? percent : 0.0, -2.0, 102.0);
}

std::string N(double value) {
    return Number(value, 2);
}

std::string Coordinate(const WorldCoordinate& c) {
    return FormatG(c.X) + " " + FormatG(c.Y) + " " + FormatG(c.Z);
}

std::string At(const LatLon& position) {
    return "Lat " + Number(position.Lat, 2) + ", Lon " + Number(position.Lon, 2);
}

std::string Times(std::size_t count) {
    return count == 1 ? "once" : std::to_string(count) + " times";
}

}  // namespace

std::string EventClass(std::optional<std::size_t> event) {
    return event ? "e" + std::to_string(*event % kColours) : std::string("eo");
}

std::string Shape(std::optional<std::size_t> event, double x, double y, double r,
                  const std::string& classes, const std::string& title) {
    const std::string attributes = " class=\"" + classes + " " + EventClass(event) + "\"";
    const std::string inside = "><title>" + Escaped(title) + "</title></";
    switch (event ? *event / kColours % kShapes : 0) {
        case 1: {
            const double side = r * 1.8;
            return "<rect" + attributes + " x=\"" + N(x - side / 2) + "\" y=\"" + N(y - side / 2) +
                   "\" width=\"" + N(side) + "\" height=\"" + N(side) + "\"" + inside + "rect>";
        }
        case 2:
            return "<path" + attributes + " d=\"M" + N(x) + " " + N(y - r * 1.2) + "L" +
                   N(x + r * 1.1) + " " + N(y + r * 0.8) + "H" + N(x - r * 1.1) + "Z\"" + inside +
                   "path>";
        case 3:
            return "<path" + attributes + " d=\"M" + N(x) + " " + N(y - r * 1.3) + "L" +
                   N(x + r * 1.3) + " " + N(y) + "L" + N(x) + " " + N(y + r * 1.3) + "L" +
                   N(x - r * 1.3) + " " + N(y) + "Z\"" + inside + "path>";
        default:
            return "<circle" + attributes + " cx=\"" + N(x) + "\" cy=\"" + N(y) + "\" r=\"" + N(r) +
                   "\"" + inside + "circle>";
    }
}

std::string MapPicture(const ServerReport& server, const TimeZone& zone, const std::string& id) {
    std::string out =
        "<svg class=\"map\" viewBox=\"-13 -3 118 116\" role=\"img\" aria-labelledby=\"" + id +
        "-t " + id + "-d\"><title id=\"" + id + "-t\">Map of " + Escaped(server.Label) +
        ": where its events ran and where its coordinates lie</title><desc id=\"" + id +
        "-d\">The game's map grid: Lat from 0 at the top to 100 at the bottom, Lon "
        "from 0 at the left to 100 at the right.</desc>";
    out += "<rect class=\"ground\" width=\"100\" height=\"100\"/>";
    if (server.PlayableBox) {
        const auto& [low, high] = *server.PlayableBox;
        const double x = OnMap(low.Lon);
        const double y = OnMap(low.Lat);
        out += "<rect class=\"playable\" x=\"" + N(x) + "\" y=\"" + N(y) + "\" width=\"" +
               N(OnMap(high.Lon) - x) + "\" height=\"" + N(OnMap(high.Lat) - y) +
               "\"><title>The playable area</title></rect>";
    }
    out += "<g class=\"grid\">";
    for (int i = 0; i <= 100; i += 10) {
        const std::string at = std::to_string(i);
        out += "<path d=\"M0 " + at + "H100M" + at + " 0V100\"/>";
    }
    out += "</g><g class=\"ticks\">";
    for (int i = 0; i <= 100; i += 10) {
        const std::string at = std::to_string(i);
        out += "<text x=\"-1.5\" y=\"" + std::to_string(i + 1) + "\" text-anchor=\"end\">" + at +
               "</text><text x=\"" + at + "\" y=\"104.5\" text-anchor=\"middle\">" + at + "</text>";
    }
    out +=
        "</g><text class=\"axis\" transform=\"rotate(-90)\" x=\"-50\" y=\"-9\" "
        "text-anchor=\"middle\">Lat</text><text class=\"axis\" x=\"50\" y=\"110.5\" "
        "text-anchor=\"middle\">Lon</text><g class=\"marks\">";

    std::size_t most = 1;
    for (const auto& mark : server.Marks) {
        most = (std::max)(most, mark.Runs);
    }
    for (const auto& mark : server.Marks) {
        const std::string label = mark.Event ? server.Events[*mark.Event].Label : "an event";
        const std::string when = mark.Time ? " " + ClockText(*mark.Time, zone) : "";
        const double r =
            server.EachRun
                ? 1.3
                : 1.2 + 2.6 * std::sqrt(static_cast<double>(mark.Runs) / static_cast<double>(most));
        out += Shape(mark.Event, OnMap(mark.Position.Lon), OnMap(mark.Position.Lat), r, "point ran",
                     label + " ran" + (server.EachRun ? when : " " + Times(mark.Runs)) + " at " +
                         At(mark.Position));
    }
    for (const auto& line : server.Coordinates) {
        if (!line.Position) {
            continue;
        }
        const auto& event = server.Events[line.Event];
        const double x = OnMap(line.Position->Lon);
        const double y = OnMap(line.Position->Lat);
        std::string title = event.Label + " at " + Coordinate(line.At) + ": " + At(*line.Position) +
                            "; " + (line.Runs > 0 ? "ran " + Times(line.Runs) : "never ran");
        if (line.Outside) {
            title += "; outside the playable area";
            out += "<path class=\"flag\" d=\"M" + N(x - 3.2) + " " + N(y - 3.2) + "l6.4 6.4m0-6.4" +
                   "l-6.4 6.4\"/>";
        }
        out += Shape(line.Event, x, y, 2.3,
                     std::string("point cfg") + (line.Runs == 0 ? " never" : ""), title);
    }
    return out + "</g></svg>";
}

std::string HoursPicture(const ServerReport& server, const TimeZone& zone, const std::string& id) {
    const auto& started = server.History.StartedByHour;
    const auto& skipped = server.History.SkippedByHour;
    std::size_t most = 1;
    for (std::size_t hour = 0; hour < 24; ++hour) {
        most = (std::max)({most, started[hour], skipped[hour]});
    }
    constexpr double kLeft = 30;
    constexpr double kTop = 6;
    constexpr double kHeight = 92;
    constexpr double kSlot = 12;
    const auto y = [&](std::size_t count) {
        return kTop + kHeight - kHeight * static_cast<double>(count) / static_cast<double>(most);
    };
    std::string out =
        "<svg class=\"hours\" viewBox=\"0 0 320 132\" role=\"img\" aria-labelledby=\"" + id +
        "-t\"><title id=\"" + id + "-t\">Events of " + Escaped(server.Label) +
        " per hour of the day (" + Escaped(zone.Name()) +
        "): started and skipped</title><g class=\"grid\">";
    for (const std::size_t tick : {std::size_t{0}, most / 2, most}) {
        if (tick == most / 2 && (tick == 0 || tick == most)) {
            continue;
        }
        out += "<path d=\"M" + N(kLeft) + " " + N(y(tick)) + "H318\"/>";
    }
    out += "</g><g class=\"ticks\">";
    for (const std::size_t tick : {std::size_t{0}, most / 2, most}) {
        if (tick == most / 2 && (tick == 0 || tick == most)) {
            continue;
        }
        out += "<text x=\"" + N(kLeft - 3) + "\" y=\"" + N(y(tick) + 3) +
               "\" text-anchor=\"end\">" + std::to_string(tick) + "</text>";
    }
    for (std::size_t hour = 0; hour < 24; hour += 3) {
        char text[4];
        std::snprintf(text, sizeof text, "%02zu", hour);
        out += "<text x=\"" + N(kLeft + kSlot * static_cast<double>(hour) + kSlot / 2) + "\" y=\"" +
               N(kTop + kHeight + 11) + "\" text-anchor=\"middle\">" + text + "</text>";
    }
    out += "</g><text class=\"axis\" transform=\"rotate(-90)\" x=\"" + N(-(kTop + kHeight / 2)) +
           "\" y=\"9\" text-anchor=\"middle\">events</text><text class=\"axis\" x=\"" +
           N(kLeft + 12 * kSlot) + "\" y=\"129\" text-anchor=\"middle\">hour of the day (" +
           Escaped(zone.Name()) + ")</text><g class=\"bars\">";
    for (std::size_t hour = 0; hour < 24; ++hour) {
        const double x = kLeft + kSlot * static_cast<double>(hour) + 1;
        char span[32];
        std::snprintf(span, sizeof span, "%02zu:00 to %02zu:59: ", hour, hour);
        for (const auto& [count, what, offset] : {std::tuple{started[hour], "started", 0.0},
                                                  std::tuple{skipped[hour], "skipped", 5.0}}) {
            if (count == 0) {
                continue;
            }
            out += "<rect class=\"" + std::string(what) + "\" x=\"" + N(x + offset) + "\" y=\"" +
                   N(y(count)) + "\" width=\"5\" height=\"" + N(kTop + kHeight - y(count)) +
                   "\"><title>" + span + std::to_string(count) + " " + what + "</title></rect>";
        }
    }
    return out + "</g></svg>";
}

}  // namespace quorvane::admin
