#include "events/ComingEvents.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

#include "platform/TimeZone.h"

namespace quorvane {
namespace {

using std::chrono::system_clock;

// One decimal, whatever the locale: as players read Lat and Lon on the map.
std::string OneDecimal(double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("?");
}

// At most kMostLabelCharacters code points, never cutting one.
std::string Label(const std::string& label) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if ((static_cast<unsigned char>(label[i]) & 0xC0) != 0x80 &&
            ++characters > kMostLabelCharacters) {
            return label.substr(0, i) + "...";
        }
    }
    return label;
}

// "Sat 20:00" on the clocks of `zone`; empty when the zone cannot be read.
std::string ClockText(const platform::Zone& zone, system_clock::time_point at) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    try {
        const auto local =
            platform::LocalTimeIn(zone, std::chrono::floor<std::chrono::seconds>(at));
        const auto day = std::chrono::floor<std::chrono::days>(local);
        const std::chrono::hh_mm_ss time(local - day);
        const std::chrono::weekday weekday{std::chrono::sys_days(day.time_since_epoch())};
        char text[16];
        std::snprintf(text, sizeof text, "%s %02d:%02d", kDays[weekday.c_encoding()],
                      static_cast<int>(time.hours().count()),
                      static_cast<int>(time.minutes().count()));
        return text;
    } catch (const std::exception&) {
        return {};
    }
}

struct Line {
    system_clock::time_point At;
    std::string Text;
};

}  // namespace

std::string TimeUntil(system_clock::duration left) {
    const auto minutes =
        (std::max)(std::chrono::ceil<std::chrono::minutes>(left).count(), std::int64_t{1});
    if (minutes < 60) {
        return std::to_string(minutes) + " min";
    }
    // Two units: hours and minutes, or days and hours; the second left out when it is 0.
    const bool days = minutes >= 24 * 60;
    const auto first = days ? minutes / (24 * 60) : minutes / 60;
    const auto second = days ? minutes / 60 % 24 : minutes % 60;
    std::string text = std::to_string(first);
    text += days ? " d" : " h";
    if (second > 0) {
        text += ' ';
        text += std::to_string(second);
        text += days ? " h" : " min";
    }
    return text;
}

std::string ComingEventsText(const ComingEventsInput& in) {
    // Events that run now come first.
    std::vector<Line> running;
    std::vector<Line> warned;
    std::vector<Line> fixed;
    for (const auto& [entry, planned] : in.Entries) {
        if (!planned.Event || planned.Skipped || planned.StartsAt < in.Now) {
            continue;
        }
        const std::string label = Label(planned.Event->Eventlabel);
        const std::string until = TimeUntil(planned.StartsAt - in.Now);
        if (planned.From == PlannedEvent::Source::End) {
            running.push_back({planned.StartsAt, label + " runs now, " + until + " left"});
        } else if (planned.Warned && planned.Coordinate) {
            const LatLon at = in.Position(*planned.Coordinate);
            warned.push_back({planned.StartsAt, label + " at Lat " + OneDecimal(at.Lat) + ", Lon " +
                                                    OneDecimal(at.Lon) + " in " + until});
        } else if (planned.From == PlannedEvent::Source::Fixed) {
            const std::string clock = ClockText(in.Zone, planned.StartsAt);
            fixed.push_back(
                {planned.StartsAt,
                 label + ": next " + (clock.empty() ? "" : clock + ", ") + "in " + until});
        }
    }
    const auto soonest = [](const Line& a, const Line& b) { return a.At < b.At; };
    std::stable_sort(running.begin(), running.end(), soonest);
    std::stable_sort(warned.begin(), warned.end(), soonest);
    std::stable_sort(fixed.begin(), fixed.end(), soonest);
    warned.insert(warned.begin(), running.begin(), running.end());
    warned.insert(warned.end(), fixed.begin(), fixed.end());
    if (warned.empty()) {
        return "No event is announced yet.";
    }
    std::string out;
    for (std::size_t i = 0; i < warned.size() && i < kMostComingEvents; ++i) {
        out += (out.empty() ? "" : "\n") + warned[i].Text;
    }
    if (warned.size() > kMostComingEvents) {
        out += "\nand " + std::to_string(warned.size() - kMostComingEvents) + " more";
    }
    return out;
}

}  // namespace quorvane
