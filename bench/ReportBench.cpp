// quorvane-config report over the history of a ten-server cluster: a year (about a million
// lines, each server's events.jsonl as the plugin writes it) and a month, read together into
// the page. Prints the page's size too.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include <nlohmann/json.hpp>

#include "Report.h"
#include "ReportPage.h"
#include "history/EventRecord.h"

namespace {

using namespace quorvane;
using namespace quorvane::admin;

constexpr int kServers = 10;
constexpr int kEvents = 4;
constexpr int kCoordinates = 3;
// One due event every five minutes and a quarter on every server: 100,000 lines a year each.
constexpr int kLinesPerDay = 274;

struct Cluster {
    std::filesystem::path dir;
    ReportOptions options;
    std::size_t lines = 0;
};

std::string Key(int server) {
    return "Server" + std::to_string(server);
}

// Kept for every run of the benchmark, removed at exit.
struct Clusters {
    std::map<int, Cluster> made;
    ~Clusters() {
        std::error_code ignored;
        for (const auto& [days, cluster] : made) {
            std::filesystem::remove_all(cluster.dir, ignored);
        }
    }
};

// A cluster file, map data and each server's history of `days` days.
const Cluster& History(int days) {
    static Clusters clusters;
    if (const auto found = clusters.made.find(days); found != clusters.made.end()) {
        return found->second;
    }
    Cluster& cluster = clusters.made[days];
    cluster.dir =
        std::filesystem::temp_directory_path() / ("quorvane-report-bench-" + std::to_string(days) +
                                                  "-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(cluster.dir);
    nlohmann::json config = {{"DiscordWebhook", "https://discord.example/api/webhooks/1/x"},
                             {"DiscordBroadcastMessage", "{Eventlabel}"},
                             {"MCRconPath", "rcon"},
                             {"DiscordBroadcastHeader", "h"},
                             {"DiscordWebhookColor", "255"},
                             {"ServerEventsCommand", "Start"},
                             {"BroadcastStartEventMessage", "{Eventlabel}"},
                             {"TimeZone", "Europe/Berlin"}};
    for (int server = 0; server < kServers; ++server) {
        nlohmann::json events = nlohmann::json::object();
        for (int event = 0; event < kEvents; ++event) {
            nlohmann::json coordinates = nlohmann::json::array();
            for (int c = 0; c < kCoordinates; ++c) {
                coordinates.push_back(std::to_string(c * 90000 - 100000) + " " +
                                      std::to_string(event * 60000 - 150000) + " 300");
            }
            events["event" + std::to_string(event)] = {
                {"Eventlabel", "Event " + std::to_string(event)},
                {"RandomCCCs", coordinates},
                {"Weight", event + 1}};
        }
        config[Key(server)] = {
            {"Serverlabel", "Server " + std::to_string(server)},
            {"RconSettings",
             {{"RconIP", "10.0.0.1"}, {"RconPort", 27020 + server}, {"RconPassword", "pw"}}},
            {"StartEventOnBootSettings", {{"MinimumTimeToWait", 5}, {"MaximumTimeToWait", 10}}},
            {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 3}, {"MaximumTimeToNextEvent", 8}}},
            {"RandomEvents", events}};
    }
    std::ofstream(cluster.dir / "config.json") << config.dump();
    std::ofstream(cluster.dir / "map.json")
        << R"({"entries": [{"PlayableMin": [-400000, -400000, -100000],
              "PlayableMax": [400000, 400000, 100000], "OriginMin": [-400000, -400000],
              "OriginMax": [400000, 400000]}]})";
    cluster.options.Config = cluster.dir / "config.json";
    cluster.options.MapFile = cluster.dir / "map.json";

    std::mt19937 random(days);
    const auto start = std::chrono::sys_days(std::chrono::year(2026) / 1 / 1);
    for (int server = 0; server < kServers; ++server) {
        const auto file = cluster.dir / (Key(server) + ".jsonl");
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < days * kLinesPerDay; ++i) {
            EventRecord r;
            r.Time = start + std::chrono::seconds(i * 86400LL / kLinesPerDay);
            r.Server = Key(server);
            r.Trigger = "timer";
            const int draw = static_cast<int>(random() % 100);
            if (draw < 10) {
                r.Outcome = "skipped";
                r.SkipKind = draw < 6 ? "players" : "hours";
                r.Reason = draw < 6 ? "0 player(s) online, 2 needed"
                                    : "04:12 is outside ActiveHours 18:00-23:30";
            } else {
                const int event = static_cast<int>(random() % kEvents);
                const int c = static_cast<int>(random() % kCoordinates);
                r.Outcome = draw < 15 ? "not started" : "started";
                r.Reason = draw < 15 ? "RCON delivery is stopping" : "";
                r.EventId = "event" + std::to_string(event);
                r.Eventlabel = "Event " + std::to_string(event);
                r.Coordinate = WorldCoordinate{static_cast<float>(c * 90000 - 100000),
                                               static_cast<float>(event * 60000 - 150000), 300};
                r.Position = LatLon{37.5 + c * 11.25, 31.25 + event * 7.5};
                for (int other = 0; other < kServers; ++other) {
                    r.Rcon[Key(other)] = "delivered";
                }
                r.Discord = "posted";
            }
            out << ToJsonLine(r) << "\n";
            ++cluster.lines;
        }
        cluster.options.Histories.push_back(file);
    }
    return cluster;
}

void BM_ReportOfTenServers(benchmark::State& state) {
    const Cluster& cluster = History(static_cast<int>(state.range(0)));
    std::size_t page = 0;
    for (auto _ : state) {
        const auto report = MakeReport(cluster.options);
        page = ReportPage(report).size();
        benchmark::DoNotOptimize(page);
    }
    state.counters["lines"] = static_cast<double>(cluster.lines);
    state.counters["page_kB"] = static_cast<double>(page) / 1024;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cluster.lines));
}
BENCHMARK(BM_ReportOfTenServers)
    ->ArgName("days")
    ->Arg(365)
    ->Arg(30)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()  // the CPU time of every reading thread
    ->UseRealTime();

}  // namespace
