// One event's RCON fan-out to N servers listening on loopback, beside the bare cost of the
// N + 1 process starts it needs: how much of a fan-out is the client's work.

#include <benchmark/benchmark.h>

#include <memory>

#include "PluginHost.h"
#include "RconListener.h"
#include "config/Settings.h"
#include "notify/RconFanout.h"
#include "platform/Platform.h"

namespace {

void BM_FanoutToListeners(benchmark::State& state) {
    testing_support::PluginHost host;
    const auto servers = static_cast<std::size_t>(state.range(0));
    std::vector<std::unique_ptr<gameserver::RconListener>> listeners;
    auto& s = quorvane::EventSettings();
    s.MCRconPath = RCON_CLIENT_FILE;
    for (std::size_t i = 0; i < servers; ++i) {
        gameserver::RconListenerOptions options;
        options.password = "pw";
        listeners.push_back(std::make_unique<gameserver::RconListener>(options));
        listeners.back()->Start();
        s.RconInfos.push_back({"127.0.0.1", listeners.back()->Port(), "pw"});
    }
    s.RconSettings = s.RconInfos.front();
    const quorvane::RconJob job{R"(Meteor Shower on \"The Island\" at 75.000000 / 25.000000)",
                                "StartWorldEvent meteor 2e+05 -50000 0"};
    for (auto _ : state) {
        quorvane::RconFanout(job);
    }
    std::size_t received = 0;
    for (const auto& listener : listeners) {
        received += listener->Commands().size();
        listener->Stop();
    }
    // Every line must have arrived, or the figure measures failures.
    if (received != state.iterations() * (servers + 1)) {
        state.SkipWithError("not every RCON line arrived");
    }
    state.counters["clients"] = static_cast<double>(servers + 1);
}
BENCHMARK(BM_FanoutToListeners)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// The same number of process starts and waits, of a program that does nothing.
void BM_BareProcessStarts(benchmark::State& state) {
    const auto starts = state.range(0) + 1;
    const std::string line = std::string(R"("")") + SOAK_CLIENT_FILE + R"(" -H -P0 -p "")";
    for (auto _ : state) {
        for (std::int64_t i = 0; i < starts; ++i) {
            benchmark::DoNotOptimize(quorvane::platform::RunShellCommand(line));
        }
    }
    state.counters["clients"] = static_cast<double>(starts);
}
BENCHMARK(BM_BareProcessStarts)->Arg(1)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
