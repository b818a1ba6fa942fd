// How long one event holds the game thread, with 64 servers in the cluster and the event
// history on: while their clients answer, while every one of them hangs, and with the built-in
// client (64 live listeners; no process starts competing with the game thread for the cores). The
// RCON work and the history's writing are done on the plugin's own threads, started as the plugin
// starts them, before the first event.
//
//   build/bin/plugin_bench --benchmark_filter=StartEvent --benchmark_repetitions=3
//       --benchmark_report_aggregates_only=true   (one line)
//
// Read the counters of the median rows: p50_us/p99_us (wall), cpu_p50_us/cpu_p99_us (the game
// thread's own), and of 200 events how many waited or were preempted.
//
// AllHanging runs its events back to back; AllHangingAfterIdle lets the game thread idle 50 ms
// before each, as between a server's ticks. The work is the same: what the second adds is what
// the same callback costs on a core that went idle (cold caches, and on a virtual machine the
// host's scheduling).

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

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
    s.RconInfos = std::vector<quorvane::RconTarget>(64, {"127.0.0.1", 27020, "pw", "Island"});
    s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 60;
    s.RandomEvents = {{"meteor", "Meteor", {{50000, -50000, 100}, {1, 2, 3}}}};
}

// One event on the game thread: its wall time and its own processor time, and whether the
// thread waited for something (a lock, a system call) or was preempted meanwhile.
struct Sample {
    double micros;
    double cpuMicros;
    bool waited;
    bool preempted;
};

// The 50th and 99th percentile and the largest, wall and the game thread's own processor time
// (without the time it was preempted): on a machine whose cores are all busy the wall time is
// the scheduler's, the processor time the plugin's. And how many events waited, and how many
// were preempted.
void Report(benchmark::State& state, const std::vector<Sample>& samples) {
    std::vector<double> micros;
    std::vector<double> cpu;
    double waited = 0;
    double preempted = 0;
    for (const auto& sample : samples) {
        micros.push_back(sample.micros);
        cpu.push_back(sample.cpuMicros);
        waited += sample.waited ? 1 : 0;
        preempted += sample.preempted ? 1 : 0;
    }
    std::sort(micros.begin(), micros.end());
    std::sort(cpu.begin(), cpu.end());
    const auto at = [](const std::vector<double>& sorted, std::size_t percent) {
        return sorted[std::min(sorted.size() - 1, sorted.size() * percent / 100)];
    };
    state.counters["p50_us"] = at(micros, 50);
    state.counters["p99_us"] = at(micros, 99);
    state.counters["max_us"] = micros.back();
    state.counters["cpu_p50_us"] = at(cpu, 50);
    state.counters["cpu_p99_us"] = at(cpu, 99);
    state.counters["waited"] = waited;
    state.counters["preempted"] = preempted;
}

// This thread's processor time, in microseconds.
double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// This thread's voluntary and involuntary context switches so far.
std::pair<long, long> ThreadSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
}

enum class Clients { Answering, Hanging, Builtin };

// Each event is started as on a server: the host's timer pass, on the game thread, runs the
// callback the chain armed. What is timed is that callback, as the plugin registers it: what
// holds up the server's tick. The host's game second is a real hour, so that only the bench's
// AdvanceTimers fires a timer.
void RunStartEvent(benchmark::State& state, Clients clients,
                   std::chrono::milliseconds idleBefore = {}) {
    const bool hang = clients == Clients::Hanging;
    testing_support::PluginHost host(1.0 / 3600);
    gameserver::RegisterWorldNames();
    gameserver::GameWorld world(gameserver::DefaultMap());
    asahost::SetWorld(world.World());
    quorvane::Settings settings;
    Configure(settings);
    std::vector<std::unique_ptr<gameserver::RconListener>> listeners;
    if (clients == Clients::Builtin) {
        settings.RconClient = quorvane::RconClientKind::Builtin;
        std::vector<quorvane::RconTarget> targets;
        for (const auto& info : settings.RconInfos) {
            gameserver::RconListenerOptions options;
            options.password = "pw";
            listeners.push_back(std::make_unique<gameserver::RconListener>(options));
            listeners.back()->Start();
            targets.push_back(info);
            targets.back().RconPort = listeners.back()->Port();
        }
        settings.RconInfos = targets;
        settings.RconSettings = targets.front();
    }
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    quorvane::DiscordNotifier discord(settings, "Quorvane (bench, 1.0)", [](const auto&) {});
    quorvane::EventHistory history(host.Dir().Path() / "events.jsonl");
    std::vector<Sample> samples;
    samples.reserve(state.max_iterations);
    quorvane::EventChain chain(
        settings, {rcon, discord, history, [&](std::uint64_t step) {
                       const auto switches = ThreadSwitches();
                       const auto start = std::chrono::steady_clock::now();
                       const double startCpu = ThreadCpuMicros();
                       chain.OnTimer(step);
                       const double cpu = ThreadCpuMicros() - startCpu;
                       const std::chrono::duration<double, std::micro> wall =
                           std::chrono::steady_clock::now() - start;
                       const auto after = ThreadSwitches();
                       samples.push_back({wall.count(), cpu, after.first > switches.first,
                                          after.second > switches.second});
                   }});
    history.Start();
    rcon.Start();
    if (hang) {
        setenv("QUORVANE_ARGV_HANG", "1", 1);
    }
    host.Game().Run([&] { chain.ScheduleFirst(); });
    for (auto _ : state) {
        std::this_thread::sleep_for(idleBefore);
        const auto started = samples.size();
        host.AdvanceTimers(chain.Armed()->Seconds);
        if (samples.size() != started + 1) {
            state.SkipWithError("the timer did not start one event");
            break;
        }
        state.SetIterationTime(samples.back().micros / 1e6);
        if (!hang) {
            // Events are minutes apart: each finds the last one delivered and written.
            rcon.WaitUntilIdle(std::chrono::minutes(1));
            history.WaitUntilWritten(std::chrono::minutes(1));
        }
    }
    if (!samples.empty()) {
        Report(state, samples);
    }
    if (hang) {
        rcon.Stop();  // ends the hanging clients
        unsetenv("QUORVANE_ARGV_HANG");
    } else {
        rcon.WaitUntilIdle(std::chrono::minutes(5));
    }
    history.WaitUntilWritten(std::chrono::minutes(1));
    host.Game().Run([&] { chain.DropTimers(); });
    asahost::SetWorld(nullptr);
}

void BM_StartEvent64Targets(benchmark::State& state) {
    RunStartEvent(state, Clients::Answering);
}
void BM_StartEvent64TargetsAllHanging(benchmark::State& state) {
    RunStartEvent(state, Clients::Hanging);
}
void BM_StartEvent64TargetsAllHangingAfterIdle(benchmark::State& state) {
    RunStartEvent(state, Clients::Hanging, std::chrono::milliseconds(50));
}
void BM_StartEvent64TargetsBuiltin(benchmark::State& state) {
    RunStartEvent(state, Clients::Builtin);
}

// Time: the mean of the timed callbacks; the counters say the rest.
BENCHMARK(BM_StartEvent64Targets)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
// As many events as the delivery takes while every client hangs (15 x 65 client runs).
BENCHMARK(BM_StartEvent64TargetsAllHanging)
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartEvent64TargetsAllHangingAfterIdle)
    ->Iterations(15)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartEvent64TargetsBuiltin)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
