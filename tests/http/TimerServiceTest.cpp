// The host's timers, as the framework runs them: on the game thread, once a game second, and
// gone with the plugin that armed them.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "GameMemory.h"
#include "GameThread.h"
#include "Host/PluginLoader.h"
#include "Host/Timers.h"
#include "ModuleHooks.h"
#include "TestHost.h"
#include "Timer.h"

namespace {

namespace hooks = http_testing::module_hooks;
constexpr auto kWait = std::chrono::seconds(30);

http_testing::HostSettings Fast() {
    http_testing::HostSettings settings;
    settings.timeScale = 50;
    return settings;
}

bool Logged(const http_testing::TestHost& host, const std::string& line) {
    const auto lines = host.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(TimerServiceTest, ACallbackChainRunsOnTheGameThreadUntilItsPluginIsUnloaded) {
    http_testing::TestHost host(Fast());
    gameserver::RegisterGameMemory();  // the module's FString texts
    hooks::Reset("");
    const auto folder = host.Dir() / "ArkApi" / "Plugins" / "RearmOnTimer";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(TIMER_TEST_MODULE_FILE, folder / "RearmOnTimer.so");

    host.Game().Run([] { asahost::LoadPlugins(); });
    ASSERT_TRUE(hooks::WaitForTimers(3, kWait));
    EXPECT_EQ(hooks::TimerThread(), host.Game().Id());
    host.Game().Run([] { asahost::UnloadPlugins(); });

    EXPECT_TRUE(Logged(host, "[AsaApi][info] Dropped timer rearm (0 s)"));
    EXPECT_TRUE(asahost::PendingTimers().empty());
    // Passes later nothing more has run (it would have jumped into unmapped code).
    const int firedAtUnload = hooks::TimersFired();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(hooks::TimersFired(), firedAtUnload);
}

// A pass runs what was due when it began, from a copy of the list: a timer dropped by an earlier
// callback of the pass still runs in it. Afterwards, as the framework does, it forgets every
// one-shot timer due by the pass's time: one armed during the pass with a delay below zero
// never runs.
TEST(TimerServiceTest, APassRunsWhatWasDueWhenItBegan) {
    http_testing::TestHost host(Fast());
    gameserver::RegisterGameMemory();
    struct Runs {
        std::mutex mutex;
        std::vector<std::string> names;
    };
    auto runs = std::make_shared<Runs>();
    const auto record = [runs](const std::string& name) {
        std::lock_guard lock(runs->mutex);
        runs->names.push_back(name);
    };
    host.Game().Run([&] {
        API::Timer::Get().DelayExecute(
            FString("first"),
            [record] {
                record("first");
                API::Timer::Get().UnloadTimer(FString("dropped"));
                API::Timer::Get().DelayExecute(
                    FString("below zero"), [record] { record("below"); }, -1);
                API::Timer::Get().DelayExecute(
                    FString("zero"), [record] { record("zero"); }, 0);
            },
            0);
        API::Timer::Get().DelayExecute(
            FString("dropped"), [record] { record("dropped"); }, 0);
    });
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (asahost::TimersFired() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a few passes more
    host.Stop();
    std::lock_guard lock(runs->mutex);
    EXPECT_EQ(runs->names, (std::vector<std::string>{"first", "dropped", "zero"}));
}

}  // namespace
