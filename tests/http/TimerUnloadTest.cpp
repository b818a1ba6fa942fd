// Unloading a plugin while its timer callback runs: the host waits for the callback and also
// drops the timer that the callback arms on its way out, so nothing is left to call into the
// unloaded code.

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "GameMemory.h"
#include "Host/PluginLoader.h"
#include "Host/Timers.h"
#include "TestHost.h"

namespace {

constexpr auto kWait = std::chrono::seconds(30);

// The module's callback: counts, then blocks while the test holds it.
struct Callbacks {
    std::mutex mutex;
    std::condition_variable changed;
    int fired = 0;
    bool hold = true;
};

Callbacks& State() {
    static Callbacks state;
    return state;
}

void Release() {
    std::lock_guard lock(State().mutex);
    State().hold = false;
    State().changed.notify_all();
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void QvTimerTestFired() {
    std::unique_lock lock(State().mutex);
    ++State().fired;
    State().changed.notify_all();
    State().changed.wait(lock, [] { return !State().hold; });
}

namespace {

TEST(TimerUnloadTest, TheTimerArmedByARunningCallbackIsDroppedToo) {
    http_testing::HostSettings settings;
    settings.timeScale = 20;
    http_testing::TestHost host(settings);
    gameserver::RegisterGameMemory();  // the module's FString texts
    const auto folder = host.Dir() / "ArkApi" / "Plugins" / "RearmOnTimer";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(TIMER_TEST_MODULE_FILE, folder / "RearmOnTimer.so");
    std::ofstream(folder / "PluginInfo.json")
        << R"({"FullName": "RearmOnTimer", "Version": "1", "MinApiVersion": 1.0})";
    const auto logged = [&](const std::string& line) {
        const auto lines = host.Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };

    asahost::LoadPlugins();
    std::future<void> unloaded;
    {
        std::unique_lock lock(State().mutex);
        const bool entered = State().changed.wait_for(lock, kWait, [] { return State().fired; });
        lock.unlock();
        if (entered) {
            unloaded = std::async(std::launch::async, [] { asahost::UnloadPlugins(); });
            // The unload has dropped what was pending and now waits for the callback.
            const auto deadline = std::chrono::steady_clock::now() + kWait;
            while (!logged("[AsaApi][info] Waiting for timer rearm to return") &&
                   std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        Release();  // never leave the timer thread blocked, whatever failed
        ASSERT_TRUE(entered);
    }
    EXPECT_TRUE(logged("[AsaApi][info] Waiting for timer rearm to return"));
    ASSERT_EQ(unloaded.wait_for(kWait), std::future_status::ready);
    EXPECT_TRUE(logged("[AsaApi][info] Dropped timer rearm (0 s)"));
    EXPECT_TRUE(asahost::PendingTimers().empty());
    // Ticks later the timer thread has run nothing more (it would have jumped into unmapped
    // code).
    const auto firedAtUnload = asahost::TimersFired();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(asahost::TimersFired(), firedAtUnload);
    std::lock_guard lock(State().mutex);
    EXPECT_EQ(State().fired, 1);
}

}  // namespace
