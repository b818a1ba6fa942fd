#pragma once
// `quorvane-config report`: what a cluster file and its servers' histories say, per server:
// where the events land on the map, how often each ran against the share its weights give,
// what was skipped or refused and why, events per hour of the day, and the last events.
// ReportPage writes it as one HTML page.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "CoordsAnswer.h"
#include "HistoryTally.h"
#include "MapData.h"
#include "TimeZone.h"

namespace quorvane::admin {

struct ReportOptions {
    std::filesystem::path Config;
    std::vector<std::filesystem::path> Histories;
    std::optional<std::filesystem::path> MapFile;            // every server's map data
    std::map<std::string, std::filesystem::path> MapFileOf;  // one server's, by key
    std::map<std::string, std::filesystem::path> Coords;     // quorvane.coords answers, by key
};

// One event of a server, in the order of its colour: the configured ones as configured, then
// those only the history names, the most run first.
struct EventLine {
    std::string Id;
    std::string Label;
    bool Configured = false;
    std::int32_t Weight = 0;
    double WeightShare = 0;  // of the runs, among the configured events that can start
    bool CanStart = true;    // false: configured without coordinates
    std::size_t Runs = 0;
    std::optional<TimePoint> Last;
    std::int32_t DurationMinutes = 0;  // configured; 0: it never ends
    std::size_t Ended = 0;
    double RanMinutes = 0;  // in all its ends
};

struct CoordinateLine {
    std::size_t Event = 0;  // in Events
    WorldCoordinate At;
    std::optional<LatLon> Position;
    bool Outside = false;  // of the playable area
    std::size_t Runs = 0;
};

// A mark on the map for what ran: one run, or the runs on one spot.
struct RunMark {
    std::optional<std::size_t> Event;  // in Events; none: an event not shown
    LatLon Position;
    std::size_t Runs = 1;
    std::optional<TimePoint> Time;  // of a single run
};

struct ServerReport {
    // History-only events beyond these are counted, not listed; so are spots beyond kSpots.
    static constexpr std::size_t kOtherEvents = 24;
    static constexpr std::size_t kSpots = 400;

    std::string Key;
    std::string Label;
    bool InConfig = false;
    std::optional<std::string> Inactive;  // why the plugin would be inactive here
    std::int32_t AvoidRepeats = 0;
    // Where the configured coordinates' positions come from, or why there are none.
    std::string PositionsFrom;
    std::optional<std::string> NoPositions;
    std::optional<std::pair<LatLon, LatLon>> PlayableBox;
    std::vector<std::string> Notes;
    std::vector<EventLine> Events;
    std::size_t HiddenEvents = 0;
    std::vector<CoordinateLine> Coordinates;
    std::size_t RunsElsewhere = 0;  // at no configured coordinate of their event
    std::vector<RunMark> Marks;
    bool EachRun = true;          // false: a mark per spot
    std::size_t UndrawnRuns = 0;  // with a position, on spots not drawn
    ServerTally History;
};

struct ClusterReport {
    static constexpr std::size_t kOtherServers = 20;

    std::string ConfigName;
    TimeZone Zone;
    std::string ZoneNote;
    std::vector<std::string> HistoryNames;
    std::vector<ServerReport> Servers;  // the cluster file's, then others the histories name
    std::size_t HiddenServers = 0;
    std::size_t HiddenServerRecords = 0;
    HistoryTally History;  // the totals; its servers moved into Servers
};

// The clock of the cluster file's TimeZone, and what the page says of it; the zone files of
// `zoneFolder` serve where the system has no zone.
std::pair<TimeZone, std::string> ChooseZone(const nlohmann::json& document,
                                            const std::filesystem::path& zoneFolder = {});

// A cluster file's positions for one server: from the quorvane.coords answer for its key,
// else from map data.
struct PositionSource {
    std::optional<CoordsAnswer> Answer;
    std::string AnswerName;
    const MapData* Map = nullptr;
    std::string MapName;
};

// The report of an already read cluster document and tallied histories, whose file numbers
// index `historyNames`. `positions` by server key; a key without one has no positions.
ClusterReport MakeClusterReport(const std::string& configName, const nlohmann::json& document,
                                const std::map<std::string, PositionSource>& positions,
                                std::vector<std::string> historyNames, HistoryTally&& history,
                                const TimeZone& zone, std::string zoneNote,
                                const std::filesystem::path& zoneFolder = {});

// Reads every file the options name. Throws std::runtime_error for a file that cannot be
// read, ConfigFileError for a config that is no cluster file.
ClusterReport MakeReport(const ReportOptions& options);

class ConfigFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvane::admin
