// One event's RCON delivery to N servers listening on loopback, through the bundled client,
// beside the bare cost of the N + 1 process starts it needs one after another; the built-in
// client beside both, in one run; and the same with one server that accepts and never
// answers, sorted first: when the last live server has its broadcast.

#include <benchmark/benchmark.h>

#include <memory>
#include <thread>

#include "PluginHost.h"
#include "RconListener.h"
#include "SilentServer.h"
#include "notify/RconService.h"
#include "platform/ClientEnv.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Cluster {
    std::vector<std::unique_ptr<gameserver::RconListener>> listeners;
    quorvane::RconJob job;
    std::vector<quorvane::RconTarget> targets;

    explicit Cluster(std::size_t servers) {
        job.EventId = "meteor";
        job.EventCommand = "StartWorldEvent meteor 2e+05 -50000 0";
        job.BroadcastText = R"(Meteor Shower on "The Island" at 75.000000 / 25.000000)";
        job.ClientPath = RCON_CLIENT_FILE;
        for (std::size_t i = 0; i < servers; ++i) {
            gameserver::RconListenerOptions options;
            options.password = "pw";
            listeners.push_back(std::make_unique<gameserver::RconListener>(options));
            listeners.back()->Start();
            targets.push_back(
                {"127.0.0.1", listeners.back()->Port(), "pw", "Server" + std::to_string(1000 + i)});
        }
        job.Targets = targets;
        job.Own = targets.front();
    }

    std::size_t Received() const {
        std::size_t received = 0;
        for (const auto& listener : listeners) {
            received += listener->Commands().size();
        }
        return received;
    }
};

void BM_FanoutToListeners(benchmark::State& state) {
    testing_support::PluginHost host;
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    const auto servers = static_cast<std::size_t>(state.range(0));
    Cluster cluster(servers);
    for (auto _ : state) {
        rcon.Submit(cluster.job);
        rcon.WaitUntilIdle(std::chrono::minutes(5));
    }
    // Every line must have arrived, or the figure measures failures.
    if (cluster.Received() != state.iterations() * (servers + 1)) {
        state.SkipWithError("not every RCON line arrived");
    }
    state.counters["clients"] = static_cast<double>(servers + 1);
}
BENCHMARK(BM_FanoutToListeners)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// The same number of process starts and waits, one after another, of a program that does
// nothing.
void BM_BareProcessStarts(benchmark::State& state) {
    const auto starts = state.range(0) + 1;
    const std::vector<std::string> arguments = {SOAK_CLIENT_FILE, "-H", "-P0", "-p", ""};
    const auto env = quorvane::platform::SystemClientEnv();
    for (auto _ : state) {
        for (std::int64_t i = 0; i < starts; ++i) {
            benchmark::DoNotOptimize(env->RunClient(arguments, std::chrono::seconds(10)));
        }
    }
    state.counters["clients"] = static_cast<double>(starts);
}
BENCHMARK(BM_BareProcessStarts)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// To 64 servers: the built-in client, the bundled one and the bare process starts, in turns
// within each iteration, so that the machine's load falls on all three alike. The time is the
// built-in client's; the counters give all three in ms and the ratios.
void BM_FanoutBuiltinBesideExternal(benchmark::State& state) {
    testing_support::PluginHost host;
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    const auto env = quorvane::platform::SystemClientEnv();
    Cluster cluster(64);
    auto builtin = cluster.job;
    builtin.Client = quorvane::RconClientKind::Builtin;
    const std::vector<std::string> bare = {SOAK_CLIENT_FILE, "-H", "-P0", "-p", ""};
    const auto timed = [](const auto& what) {
        const auto start = Clock::now();
        what();
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    double builtinSeconds = 0;
    double externalSeconds = 0;
    double startSeconds = 0;
    std::size_t turn = 0;
    for (auto _ : state) {
        // Each goes first, second and third in turn: none always follows the process starts.
        for (std::size_t step = 0; step < 3; ++step) {
            switch ((turn + step) % 3) {
                case 0: {
                    const double seconds = timed([&] {
                        rcon.Submit(builtin);
                        rcon.WaitUntilIdle(std::chrono::minutes(5));
                    });
                    state.SetIterationTime(seconds);
                    builtinSeconds += seconds;
                    break;
                }
                case 1:
                    externalSeconds += timed([&] {
                        rcon.Submit(cluster.job);
                        rcon.WaitUntilIdle(std::chrono::minutes(5));
                    });
                    break;
                default:
                    startSeconds += timed([&] {
                        for (std::size_t i = 0; i < cluster.job.Targets.size() + 1; ++i) {
                            benchmark::DoNotOptimize(
                                env->RunClient(bare, std::chrono::seconds(10)));
                        }
                    });
                    break;
            }
        }
        ++turn;
    }
    if (cluster.Received() != static_cast<std::size_t>(state.iterations()) * 2 * 65) {
        state.SkipWithError("not every RCON line arrived");
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["builtin_ms"] = builtinSeconds / n * 1000;
    state.counters["external_ms"] = externalSeconds / n * 1000;
    state.counters["starts_ms"] = startSeconds / n * 1000;
    state.counters["builtin/external"] = builtinSeconds / externalSeconds;
    state.counters["external/starts"] = externalSeconds / startSeconds;
}
BENCHMARK(BM_FanoutBuiltinBesideExternal)
    ->Iterations(30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The bundled client gives up on the silent server after its own time-out (5 s); the time
// measured is until the last of the 64 live servers has its broadcast.
void BM_FanoutWithASilentServer(benchmark::State& state) {
    testing_support::PluginHost host;
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    rcon_testing::SilentServer silent;
    Cluster cluster(64);
    cluster.targets.insert(cluster.targets.begin(),
                           {"127.0.0.1", silent.Port(), "pw", "Server0000"});
    cluster.job.Targets = cluster.targets;
    std::size_t expected = 0;
    for (auto _ : state) {
        expected += 65;
        const auto start = Clock::now();
        rcon.Submit(cluster.job);
        while (cluster.Received() < expected && Clock::now() - start < std::chrono::seconds(30)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        rcon.WaitUntilIdle(std::chrono::minutes(1));
    }
    if (cluster.Received() != expected) {
        state.SkipWithError("not every live server had its broadcast");
    }
}
BENCHMARK(BM_FanoutWithASilentServer)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
