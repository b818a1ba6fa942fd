// How long one event holds the game thread, with 64 servers in the cluster and the event
// history on: while their clients answer, while every one of them hangs, and with the built-in
// client (64 live listeners; no process starts competing with the game thread for the cores). The
// RCON work and the history's writing are done on the plugin's own threads, started as the plugin
// starts them, before the first event.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "PluginHost.h"
#include "RconListener.h"
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

void ReportPercentiles(benchmark::State& state, std::vector<double>& micros,
                       std::vector<double>& cpu) {
    std::sort(micros.begin(), micros.end());
    std::sort(cpu.begin(), cpu.end());
    const auto p99 = [](const std::vector<double>& sorted) {
        return sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
    };
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = p99(micros);
    state.counters["max_us"] = micros.back();
    // The game thread's own work, without the time it was preempted.
    state.counters["cpu_p99_us"] = p99(cpu);
}

// This thread's processor time, in microseconds.
double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

enum class Clients { Answering, Hanging, Builtin };

void RunStartEvent(benchmark::State& state, Clients clients) {
    const bool hang = clients == Clients::Hanging;
    testing_support::PluginHost host;
    gameserver::RegisterWorldNames();
    gameserver::GameWorld world(gameserver::DefaultMap());
    asahost::SetWorld(world.World());
    quorvane::Settings settings;
    Configure(settings);
    std::vector<std::unique_ptr<gameserver::RconListener>> listeners;
    if (clients == Clients::Builtin) {
        settings.RconClient = quorvane::RconClientKind::Builtin;
        for (auto& info : settings.RconInfos) {
            gameserver::RconListenerOptions options;
            options.password = "pw";
            listeners.push_back(std::make_unique<gameserver::RconListener>(options));
            listeners.back()->Start();
            info.RconPort = listeners.back()->Port();
        }
        settings.RconSettings = settings.RconInfos.front();
    }
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
    std::vector<double> cpu;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = ThreadCpuMicros();
        chain.OnTimer();
        cpu.push_back(ThreadCpuMicros() - startCpu);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        if (!hang) {
            // Events are minutes apart: each finds the last one delivered and written.
            state.PauseTiming();
            rcon.WaitUntilIdle(std::chrono::minutes(1));
            history.WaitUntilWritten(std::chrono::minutes(1));
            state.ResumeTiming();
        }
    }
    ReportPercentiles(state, micros, cpu);
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
    RunStartEvent(state, Clients::Answering);
}
void BM_StartEvent64TargetsAllHanging(benchmark::State& state) {
    RunStartEvent(state, Clients::Hanging);
}
void BM_StartEvent64TargetsBuiltin(benchmark::State& state) {
    RunStartEvent(state, Clients::Builtin);
}

BENCHMARK(BM_StartEvent64Targets)->Iterations(200)->Unit(benchmark::kMicrosecond);
// As many events as the delivery takes while every client hangs (15 x 65 client runs).
BENCHMARK(BM_StartEvent64TargetsAllHanging)->Iterations(15)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartEvent64TargetsBuiltin)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
