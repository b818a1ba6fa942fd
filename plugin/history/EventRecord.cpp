#include "history/EventRecord.h"

#include <algorithm>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "base/Text.h"

namespace quorvane {
namespace {

using nlohmann::json;
using Clock = std::chrono::system_clock;

}  // namespace

std::string UtcText(Clock::time_point time) {
    const auto days = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(days);
    const std::chrono::hh_mm_ss clock(std::chrono::floor<std::chrono::seconds>(time - days));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::optional<Clock::time_point> ParseUtcText(const std::string& text) {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    char zone = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2d:%2d:%2d%c", &year, &month, &day, &hours,
                    &minutes, &seconds, &zone) != 7 ||
        zone != 'Z') {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                           std::chrono::day(day)};
    // The clock of some standard libraries counts nanoseconds and ends in 2262.
    if (!date.ok() || year < 1970 || year >= 2200 || hours < 0 || hours > 23 || minutes < 0 ||
        minutes > 59 || seconds < 0 || seconds > 59) {
        return std::nullopt;
    }
    return std::chrono::sys_days(date) + std::chrono::hours(hours) + std::chrono::minutes(minutes) +
           std::chrono::seconds(seconds);
}

std::string ToJsonLine(const EventRecord& r) {
    json line = {{"time", UtcText(r.Time)},
                 {"server", r.Server},
                 {"trigger", r.Trigger},
                 {"outcome", r.Outcome}};
    if (!r.Reason.empty()) {
        line["reason"] = r.Reason;
    }
    if (!r.SkipKind.empty()) {
        line["skip"] = r.SkipKind;
    }
    if (r.EventId) {
        line["event"] = *r.EventId;
    }
    if (r.Eventlabel) {
        line["label"] = *r.Eventlabel;
    }
    if (r.Coordinate) {
        line["coordinate"] = {ShortestFloatValue(r.Coordinate->X),
                              ShortestFloatValue(r.Coordinate->Y),
                              ShortestFloatValue(r.Coordinate->Z)};
    }
    if (r.Position) {
        line["lat"] = r.Position->Lat;
        line["lon"] = r.Position->Lon;
    }
    if (r.Outcome != "skipped") {
        line["rcon"] = r.Rcon;
        line["discord"] = r.Discord ? json(*r.Discord) : json(nullptr);
    }
    // Bytes that are no UTF-8 (a key or label the plugin took as it was) are replaced.
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<EventRecord> FromJsonLine(const std::string& text) {
    const auto line = json::parse(text, nullptr, false);
    if (!line.is_object()) {
        return std::nullopt;
    }
    const auto string = [&](const char* key) -> std::optional<std::string> {
        const auto found = line.find(key);
        return found != line.end() && found->is_string() ? std::optional(found->get<std::string>())
                                                         : std::nullopt;
    };
    const auto time = string("time");
    const auto outcome = string("outcome");
    const auto parsed = time ? ParseUtcText(*time) : std::nullopt;
    if (!parsed || !outcome) {
        return std::nullopt;
    }
    EventRecord r;
    r.Time = *parsed;
    r.Outcome = *outcome;
    r.Server = string("server").value_or("");
    r.Trigger = string("trigger").value_or("");
    r.Reason = string("reason").value_or("");
    r.SkipKind = string("skip").value_or("");
    r.EventId = string("event");
    r.Eventlabel = string("label");
    r.Discord = string("discord");
    if (const auto rcon = line.find("rcon"); rcon != line.end() && rcon->is_object()) {
        for (const auto& [key, value] : rcon->items()) {
            if (value.is_string()) {
                r.Rcon[key] = value.get<std::string>();
            }
        }
    }
    return r;
}

std::string Describe(const EventRecord& r) {
    std::string text = UtcText(r.Time) + " ";
    if (r.EventId) {
        text += *r.EventId + " (" + r.Eventlabel.value_or("") + "): ";
    }
    text += r.Outcome;
    if (!r.Reason.empty()) {
        text += ": " + r.Reason;
    }
    if (r.Outcome == "skipped") {
        return text;
    }
    const char* separator = "; RCON ";
    for (const auto& [server, outcome] : r.Rcon) {
        text += separator + server + " " + outcome;
        separator = ", ";
    }
    if (r.Discord) {
        text += "; Discord " + *r.Discord;
    }
    return text;
}

HistorySummary Summarize(const std::vector<std::string>& lines) {
    HistorySummary summary;
    std::map<std::string, HistorySummary::Event> events;
    for (const auto& line : lines) {
        if (line.empty()) {
            continue;
        }
        const auto record = FromJsonLine(line);
        if (!record) {
            ++summary.Unreadable;
            continue;
        }
        ++summary.Due;
        summary.First = summary.First ? (std::min)(*summary.First, record->Time) : record->Time;
        summary.LastTime =
            summary.LastTime ? (std::max)(*summary.LastTime, record->Time) : record->Time;
        if (record->Outcome == "skipped") {
            ++summary.Skipped;
            ++summary.Skips[record->SkipKind.empty() ? "other" : record->SkipKind];
        } else if (record->Outcome == "started") {
            ++summary.Started;
            auto& event = events[record->EventId.value_or("?")];
            event.EventId = record->EventId.value_or("?");
            event.Eventlabel = record->Eventlabel.value_or("");
            ++event.Started;
            event.Last = (std::max)(event.Last, record->Time);
        } else {
            ++summary.NotStarted;
        }
    }
    for (auto& [id, event] : events) {
        event.Share = static_cast<double>(event.Started) / static_cast<double>(summary.Started);
        summary.Events.push_back(event);
    }
    std::stable_sort(summary.Events.begin(), summary.Events.end(),
                     [](const auto& a, const auto& b) { return a.Started > b.Started; });
    return summary;
}

}  // namespace quorvane
