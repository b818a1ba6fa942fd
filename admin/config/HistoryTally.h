#pragma once
// What event histories say per server, as the report shows it: how often each event ran and
// where it landed, what did not start and why, events per hour of the day on the admin's
// clock, the last records, and the lines that are no record. Each file is tallied on a worker
// thread and the tallies are merged. What a tally keeps is bounded however many lines or
// distinct names the files hold; what it cannot keep still counts in the totals.

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "TimeZone.h"
#include "history/EventRecord.h"

namespace quorvane::admin {

using TimePoint = std::chrono::system_clock::time_point;

// One started event where it landed.
struct LandedRun {
    std::string EventId;
    LatLon Position;
    TimePoint Time;
};

// The runs of one event that landed on one spot (to a thousandth of the map's side).
struct Spot {
    std::string EventId;
    LatLon Position;  // the first run's
    std::size_t Runs = 0;
};

struct ServerTally {
    // While a server has at most this many runs with a position, each one is kept.
    static constexpr std::size_t kEachRun = 100;
    static constexpr std::size_t kLastRecords = 15;

    struct Event {
        std::string Eventlabel;
        std::size_t Started = 0;
        std::optional<TimePoint> Last;
        // Its ends, and the minutes it ran in all.
        std::size_t Ended = 0;
        double RanMinutes = 0;
    };
    using SpotKey = std::tuple<std::string, long long, long long>;
    using CoordinateKey = std::tuple<std::string, float, float, float>;

    std::size_t Due = 0;
    std::size_t Started = 0;
    std::size_t NotStarted = 0;
    std::size_t Skipped = 0;
    std::size_t Ended = 0;  // ends, which are no due events
    std::optional<TimePoint> First;
    std::optional<TimePoint> Latest;
    std::map<std::string, Event> Events;          // started, by event id
    std::map<std::string, std::size_t> Skips;     // by kind
    std::map<std::string, std::size_t> Refusals;  // not started, by reason
    std::array<std::size_t, 24> StartedByHour{};  // on the admin's clock
    std::array<std::size_t, 24> SkippedByHour{};
    std::vector<LandedRun> Runs;  // while EveryRun: each run with a position
    bool EveryRun = true;
    std::map<SpotKey, Spot> Spots;
    std::map<CoordinateKey, std::size_t> RunsAt;  // by event id and coordinate
    std::size_t Positioned = 0;                   // runs whose line gives Lat and Lon
    // The newest records, the newest first once KeepNewest ran; until then unordered, and
    // none older than LastCut is added.
    std::vector<EventRecord> Last;
    std::optional<TimePoint> LastCut;
    std::size_t Untallied = 0;  // records whose event, kind or reason was one name too many

    // Last as its newest kLastRecords, the newest first.
    void KeepNewest();
};

struct FileTally {
    std::size_t Lines = 0;  // not empty
    std::size_t Unreadable = 0;
};

// A line that is no record, as the page shows it.
struct BadLine {
    std::size_t File = 0;
    std::size_t Line = 0;
    std::string Start;
};

class HistoryTally {
  public:
    // Distinct names kept per kind (servers; a server's events, skip kinds, reasons, spots).
    static constexpr std::size_t kNames = 1000;
    static constexpr std::size_t kBadLines = 5;
    // Longer texts are cut.
    static constexpr std::size_t kText = 200;

    // Line `line` of file number `file`; its hour of the day on the clock of `zone`.
    void AddLine(std::size_t file, std::size_t line, const std::string& text, const TimeZone& zone);
    // `other` holds lines of later files.
    void Merge(HistoryTally&& other);

    std::map<std::string, ServerTally> Servers;
    std::vector<FileTally> Files;   // by file number
    std::vector<BadLine> BadLines;  // the first ones
    std::size_t Records = 0;
    std::size_t Unreadable = 0;
    std::size_t Untallied = 0;  // records of servers beyond kNames
    std::optional<TimePoint> First;
    std::optional<TimePoint> Latest;

  private:
    void Add(EventRecord record, const TimeZone& zone);
    int LocalHour(TimePoint time, const TimeZone& zone);

    ZoneOffset offset_;  // the last one asked for
};

// Every line of the files, with the clock of `zone`. Throws std::runtime_error for a file
// that cannot be read.
HistoryTally TallyHistories(const std::vector<std::filesystem::path>& files, const TimeZone& zone);

// At most `bytes` of `text`, cut before a UTF-8 sequence rather than inside it.
std::string Cut(std::string text, std::size_t bytes);

}  // namespace quorvane::admin
