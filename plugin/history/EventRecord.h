#pragma once
// One line of the event history (events.jsonl): a due event, and what became of it. Pure.

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "map/MapProjection.h"

namespace quorvane {

struct EventRecord {
    std::chrono::system_clock::time_point Time;
    std::string Server;
    std::string
        Trigger;  // "timer", "at", "quorvane.next"; for an end "timer", "quorvane.end", "load"
    // "started", "not started" (the delivery refused it), "skipped", or "ended" (an event with
    // a duration; its RCON outcome is that of its EndCommand and end broadcast)
    std::string Outcome;
    // Skipped or not started: why, and for a skip the kind of reason ("players", "hours",
    // "no events", "no coordinates").
    std::string Reason;
    std::string SkipKind;
    std::optional<std::string> EventId;
    std::optional<std::string> Eventlabel;
    std::optional<WorldCoordinate> Coordinate;
    std::optional<LatLon> Position;
    // What became of the RCON messages, per server key ("delivered", "exit code 3"), and of
    // the Discord post ("posted", "failed: 400 Bad Request", "not posted: posting stopped",
    // "none"); empty and none while not known.
    std::map<std::string, std::string> Rcon;
    std::optional<std::string> Discord;
    // An end: how long the event ran, in minutes.
    std::optional<double> RanMinutes;
};

// UTC, to the second: 2026-12-08T23:51:53Z.
std::string UtcText(std::chrono::system_clock::time_point time);
// Such a text read back; none for anything else.
std::optional<std::chrono::system_clock::time_point> ParseUtcText(const std::string& text);

// One JSON object, no line feed.
std::string ToJsonLine(const EventRecord& record);
// None for a line that is not one. A coordinate beyond float is left out, as is a position
// without both Lat and Lon.
std::optional<EventRecord> FromJsonLine(const std::string& line);

// "2026-12-08T23:51:53Z meteor (Meteor Shower): started; RCON Island delivered; Discord
// posted", for an admin.
std::string Describe(const EventRecord& record);

// What a history says: per event how often it started and when last, and the skips.
struct HistorySummary {
    struct Event {
        std::string EventId;
        std::string Eventlabel;
        std::size_t Started = 0;
        double Share = 0;  // of all started events
        std::chrono::system_clock::time_point Last;
        // Its ends, and the minutes it ran in all.
        std::size_t Ended = 0;
        double RanMinutes = 0;
    };
    std::size_t Due = 0;
    std::size_t Started = 0;
    std::size_t NotStarted = 0;
    std::size_t Skipped = 0;
    std::size_t Ended = 0;       // ends, which are no due events
    std::size_t Unreadable = 0;  // lines that are no record
    std::optional<std::chrono::system_clock::time_point> First;
    std::optional<std::chrono::system_clock::time_point> LastTime;
    std::vector<Event> Events;                 // most started first
    std::map<std::string, std::size_t> Skips;  // by kind
};

HistorySummary Summarize(const std::vector<std::string>& lines);

}  // namespace quorvane
