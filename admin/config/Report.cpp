#include "Report.h"

#include <algorithm>
#include <numeric>
#include <set>

#include "Check.h"
#include "config/ConfigParser.h"
#include "events/EventDraw.h"

namespace quorvane::admin {
namespace {

using nlohmann::json;

// The configured events, then those only the history names, the most run first.
void ListEvents(ServerReport& server, const Settings* settings) {
    std::set<std::string> configured;
    if (settings != nullptr) {
        // An event without coordinates never starts: the others share the runs.
        std::vector<RandomEvent> startable;
        for (const auto& event : settings->RandomEvents) {
            if (!event.RandomCCCs.empty()) {
                startable.push_back(event);
            }
        }
        const auto shares = EventShares(startable);
        std::size_t next = 0;
        for (const auto& event : settings->RandomEvents) {
            const bool canStart = !event.RandomCCCs.empty();
            EventLine line{event.EventId,
                           event.Eventlabel,
                           true,
                           event.Weight,
                           canStart ? shares[next++] : 0.0,
                           canStart,
                           0,
                           {}};
            if (const auto found = server.History.Events.find(event.EventId);
                found != server.History.Events.end()) {
                line.Runs = found->second.Started;
                line.Last = found->second.Last;
                line.Ended = found->second.Ended;
                line.RanMinutes = found->second.RanMinutes;
            }
            line.DurationMinutes = event.DurationMinutes;
            configured.insert(event.EventId);
            server.Events.push_back(std::move(line));
        }
    }
    std::vector<EventLine> others;
    for (const auto& [id, event] : server.History.Events) {
        if (!configured.contains(id)) {
            others.push_back({id, event.Eventlabel, false, 0, 0, true, event.Started, event.Last, 0,
                              event.Ended, event.RanMinutes});
        }
    }
    std::stable_sort(others.begin(), others.end(),
                     [](const auto& a, const auto& b) { return a.Runs > b.Runs; });
    if (others.size() > ServerReport::kOtherEvents) {
        server.HiddenEvents = others.size() - ServerReport::kOtherEvents;
        others.resize(ServerReport::kOtherEvents);
    }
    server.Events.insert(server.Events.end(), others.begin(), others.end());
}

void ListCoordinates(ServerReport& server, const Settings& settings, const PositionSource* source) {
    if (source == nullptr) {
        server.NoPositions =
            "Nothing gives the positions of the configured coordinates: give --map-data, or "
            "--coords with the answer of quorvane.coords on this server.";
    } else if (source->Answer) {
        server.PositionsFrom = "the answer of quorvane.coords in " + source->AnswerName;
        if (source->Answer->NoMap) {
            server.NoPositions = "The game had no map when quorvane.coords answered (" +
                                 *source->Answer->NoMap +
                                 "): it announces Lat 0 and Lon 0 for every coordinate.";
        }
        if (source->Answer->Unmatched > 0) {
            server.Notes.push_back(std::to_string(source->Answer->Unmatched) + " line(s) of " +
                                   source->AnswerName +
                                   " give a position for no coordinate configured now.");
        }
    } else {
        server.PositionsFrom = "the map data " + source->MapName;
        if (!source->Map->GivesPositions()) {
            server.NoPositions =
                "The map data gives the game no world or no minimap data: the plugin announces "
                "Lat 0 and Lon 0 for every coordinate.";
        }
        server.PlayableBox = source->Map->PlayableBox();
    }
    std::set<ServerTally::CoordinateKey> configured;
    for (std::size_t e = 0; e < settings.RandomEvents.size(); ++e) {
        const auto& event = settings.RandomEvents[e];
        for (std::size_t c = 0; c < event.RandomCCCs.size(); ++c) {
            const auto& at = event.RandomCCCs[c];
            CoordinateLine line{e, at, {}, false, 0};
            const ServerTally::CoordinateKey key{event.EventId, at.X, at.Y, at.Z};
            if (const auto runs = server.History.RunsAt.find(key);
                runs != server.History.RunsAt.end()) {
                line.Runs = runs->second;
            }
            configured.insert(key);
            if (source != nullptr && !server.NoPositions) {
                if (source->Answer) {
                    if (const auto found = source->Answer->Positions.find({e, c});
                        found != source->Answer->Positions.end()) {
                        line.Position = found->second.Position;
                        line.Outside = found->second.Outside;
                    }
                } else {
                    line.Position = source->Map->Position(at);
                    line.Outside = !source->Map->Playable(at);
                }
            }
            server.Coordinates.push_back(line);
        }
    }
    for (const auto& [key, runs] : server.History.RunsAt) {
        server.RunsElsewhere += configured.contains(key) ? 0 : runs;
    }
}

// The server sections' keys: every member that is an object.
std::vector<std::string> Sections(const json& document) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : document.items()) {
        if (value.is_object()) {
            keys.push_back(key);
        }
    }
    return keys;
}

std::optional<std::size_t> EventIndex(const ServerReport& server, const std::string& id) {
    for (std::size_t i = 0; i < server.Events.size(); ++i) {
        if (server.Events[i].Id == id) {
            return i;
        }
    }
    return std::nullopt;
}

// Each run while they are few; else one mark per spot, the most run first.
void Mark(ServerReport& server) {
    auto& history = server.History;
    server.EachRun = history.EveryRun;
    if (history.EveryRun) {
        for (const auto& run : history.Runs) {
            server.Marks.push_back({EventIndex(server, run.EventId), run.Position, 1, run.Time});
        }
        return;
    }
    std::vector<const Spot*> spots;
    for (const auto& [key, spot] : history.Spots) {
        spots.push_back(&spot);
    }
    std::stable_sort(spots.begin(), spots.end(),
                     [](const Spot* a, const Spot* b) { return a->Runs > b->Runs; });
    std::size_t drawn = 0;
    for (std::size_t i = 0; i < spots.size() && i < ServerReport::kSpots; ++i) {
        server.Marks.push_back(
            {EventIndex(server, spots[i]->EventId), spots[i]->Position, spots[i]->Runs, {}});
        drawn += spots[i]->Runs;
    }
    server.UndrawnRuns = history.Positioned - drawn;
}

}  // namespace

std::pair<TimeZone, std::string> ChooseZone(const json& document,
                                            const std::filesystem::path& zoneFolder) {
    const auto found = document.is_object() ? document.find("TimeZone") : document.end();
    if (found == document.end()) {
        return {TimeZone(), "Times are UTC: the cluster file sets no TimeZone."};
    }
    if (!found->is_string()) {
        return {TimeZone(), "Times are UTC: the cluster file's TimeZone is no text."};
    }
    const std::string name = found->get<std::string>();
    try {
        return {TimeZone(name, zoneFolder),
                "Times are " + name + " time, the cluster file's TimeZone."};
    } catch (const std::invalid_argument& e) {
        return {TimeZone(), std::string("Times are UTC: ") + e.what() + "."};
    }
}

ClusterReport MakeClusterReport(const std::string& configName, const json& document,
                                const std::map<std::string, PositionSource>& positions,
                                std::vector<std::string> historyNames, HistoryTally&& history,
                                const TimeZone& zone, std::string zoneNote,
                                const std::filesystem::path& zoneFolder) {
    ClusterReport out;
    out.ConfigName = configName;
    out.HistoryNames = std::move(historyNames);
    out.Zone = zone;
    out.ZoneNote = std::move(zoneNote);
    auto servers = std::move(history.Servers);
    out.History = std::move(history);
    out.History.Servers.clear();

    for (const auto& key : Sections(document)) {
        const json& value = document.at(key);
        ServerReport server;
        server.Key = key;
        server.InConfig = true;
        if (const auto found = servers.find(key); found != servers.end()) {
            server.History = std::move(found->second);
            server.History.KeepNewest();
            servers.erase(found);
        }
        const auto parsed = ParseConfig(
            document, [&] { return key; }, zoneFolder);
        if (parsed.problem) {
            server.Inactive = parsed.problem->pointer + ": " + parsed.problem->reason;
            const auto label = value.find("Serverlabel");
            server.Label =
                label != value.end() && label->is_string() ? label->get<std::string>() : key;
            ListEvents(server, nullptr);
        } else {
            const Settings& s = parsed.settings;
            server.Label = s.Serverlabel.empty() ? key : s.Serverlabel;
            server.AvoidRepeats = s.AvoidRepeats;
            ListEvents(server, &s);
            const auto source = positions.find(key);
            ListCoordinates(server, s, source == positions.end() ? nullptr : &source->second);
        }
        Mark(server);
        out.Servers.push_back(std::move(server));
    }

    std::vector<std::pair<std::string, ServerTally>> others(
        std::make_move_iterator(servers.begin()), std::make_move_iterator(servers.end()));
    std::stable_sort(others.begin(), others.end(),
                     [](const auto& a, const auto& b) { return a.second.Due > b.second.Due; });
    for (std::size_t i = 0; i < others.size(); ++i) {
        if (i >= ClusterReport::kOtherServers) {
            ++out.HiddenServers;
            out.HiddenServerRecords += others[i].second.Due;
            continue;
        }
        ServerReport server;
        server.Key = others[i].first;
        server.Label = others[i].first;
        server.History = std::move(others[i].second);
        server.History.KeepNewest();
        ListEvents(server, nullptr);
        Mark(server);
        out.Servers.push_back(std::move(server));
    }
    return out;
}

ClusterReport MakeReport(const ReportOptions& options) {
    json document;
    try {
        document = ReadDocument(options.Config);
    } catch (const std::exception& e) {
        throw ConfigFileError(options.Config.string() +
                              ": not a cluster file: " + ReasonOf(e.what()));
    }
    if (!document.is_object()) {
        throw ConfigFileError(options.Config.string() + ": not a cluster file: not a JSON object");
    }
    const auto zoneFolder = ZoneFolderFor(options.Config);
    auto [zone, zoneNote] = ChooseZone(document, zoneFolder);

    // Every map file once, however many servers share it.
    std::map<std::filesystem::path, MapData> maps;
    const auto map = [&](const std::filesystem::path& file) -> const MapData& {
        auto found = maps.find(file);
        if (found == maps.end()) {
            found = maps.emplace(file, MapData(file)).first;
        }
        return found->second;
    };
    const auto sections = Sections(document);
    // A mistyped key would leave its server without positions, and the page would not say why.
    for (const auto* given : {&options.Coords, &options.MapFileOf}) {
        for (const auto& [key, file] : *given) {
            if (std::find(sections.begin(), sections.end(), key) == sections.end()) {
                throw std::runtime_error(key + "=" + file.string() + ": " +
                                         options.Config.string() + " has no server section " + key);
            }
        }
    }
    std::map<std::string, PositionSource> positions;
    for (const auto& key : sections) {
        PositionSource source;
        if (const auto coords = options.Coords.find(key); coords != options.Coords.end()) {
            const auto parsed = ParseConfig(
                document, [&] { return key; }, zoneFolder);
            if (!parsed.problem) {
                source.Answer = ReadCoordsAnswer(coords->second, parsed.settings);
                source.AnswerName = coords->second.string();
            }
        } else if (const auto own = options.MapFileOf.find(key); own != options.MapFileOf.end()) {
            source.Map = &map(own->second);
            source.MapName = own->second.string();
        } else if (options.MapFile) {
            source.Map = &map(*options.MapFile);
            source.MapName = options.MapFile->string();
        }
        if (source.Answer || source.Map != nullptr) {
            positions.emplace(key, std::move(source));
        }
    }
    std::vector<std::string> names;
    for (const auto& file : options.Histories) {
        names.push_back(file.string());
    }
    return MakeClusterReport(options.Config.string(), document, positions, std::move(names),
                             TallyHistories(options.Histories, zone), zone, zoneNote, zoneFolder);
}

}  // namespace quorvane::admin
