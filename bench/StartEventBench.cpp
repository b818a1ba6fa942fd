// How long one event holds the game thread, with 64 servers in the cluster and the event
// history on: while their clients answer, and while every one of them hangs. The RCON work and
// the history's writing are done on the plugin's own threads, started as the plugin starts
// them, before the first event.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>

#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "PluginHost.h"
#include "events/EventChain.h"
#include "platform/ClientEnv.h"

namespace {

void Configure(quorvane::Settings& s) {
    s.Serverlabel = "The Island";
    s.ServerEventsCommand = "StartWorldEvent";
    s.BroadcastStartEventMessage = "{Eventlabel} on {Serverlabel} at {Lat} / {Lon}";
    s.DiscordBroadcastMessage = "{Eventlabel} on {Serverlabel} at {Lat} / {Lon}";
    s.DiscordBroadcastHeader = "{Eventlabel}";
    s.MCRconPath = RECORD_ARGS_FILE;
    s.RconSettings = {"127.0.0.1", 27020, "pw", "Island"};
    s.RconInfos.assign(64, {"127.0.0.1", 27020, "pw", "Island"});
    s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 60;
    s.RandomEvents = {{"meteor", "Meteor", {{50000, -50000, 100}, {1, 2, 3}}}};
}

void ReportPercentiles(benchmark::State& state, std::vector<double>& micros) {
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    state.counters["max_us"] = micros.back();
}

void RunStartEvent(benchmark::State& state, bool hang) {
    testing_support::PluginHost host;
    gameserver::RegisterWorldNames();
    gameserver::GameWorld world(gameserver::DefaultMap());
    asahost::SetWorld(world.World());
    quorvane::Settings settings;
    Configure(settings);
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    quorvane::DiscordNotifier discord(settings, "Quorvane (bench, 1.0)", [](const auto&) {});
    quorvane::EventHistory history(host.Dir().Path() / "events.jsonl");
    quorvane::EventChain chain(settings, {rcon, discord, history, [](std::uint64_t) {}});
    history.Start();
    rcon.Start();
    if (hang) {
        setenv("QUORVANE_ARGV_HANG", "1", 1);
    }
    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        chain.OnTimer();
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    ReportPercentiles(state, micros);
    if (hang) {
        rcon.Stop();  // ends the hanging clients
        unsetenv("QUORVANE_ARGV_HANG");
    } else {
        rcon.WaitUntilIdle(std::chrono::minutes(5));
    }
    history.WaitUntilWritten(std::chrono::minutes(1));
    asahost::SetWorld(nullptr);
}

void BM_StartEvent64Targets(benchmark::State& state) {
    RunStartEvent(state, false);
}
void BM_StartEvent64TargetsAllHanging(benchmark::State& state) {
    RunStartEvent(state, true);
}

BENCHMARK(BM_StartEvent64Targets)->Iterations(200)->Unit(benchmark::kMicrosecond);
// As many events as the delivery takes while every client hangs (15 x 65 client runs).
BENCHMARK(BM_StartEvent64TargetsAllHanging)->Iterations(15)->Unit(benchmark::kMicrosecond);

}  // namespace
