// Random draws and the event timer.

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "Host/Timers.h"
#include "PluginHost.h"
#include "events/EventChain.h"
#include "events/EventRandom.h"
#include "platform/ClientEnv.h"
#include "platform/Platform.h"

namespace {

TEST(EventRandomTest, MatchesAnIndependentReferenceDrawForDraw) {
    // Computed by tests/tools/random_reference.py: its own MT19937 and big-integer
    // multiply-and-reject, one engine across all draws, in this order.
    struct Draw {
        std::int64_t min;
        std::int64_t max;
        std::int64_t expected;
    };
    const Draw draws[] = {
        {0, 9, 7},
        {-100, 100, -59},
        {1, 3, 1},
        {-5, 5, 0},
        {0, 2147483647, 766817407},
        {-2147483648, 2147483647, 1957450702},
        {7, 7, 7},
        {-2147483648, 0, -1751877893},
        {0, 1073741823, 991144652},
        {0, 9, 6},
        {-100, 100, 87},
        {1, 3, 1},
        {-5, 5, 5},
        {0, 2147483647, 794879437},
        {-2147483648, 2147483647, -730160981},
        {7, 7, 7},
        {-2147483648, 0, -371111772},
        {0, 1073741823, 592414261},
        {0, 9, 6},
        {-100, 100, -100},
        {1, 3, 1},
        {-5, 5, 4},
        {0, 2147483647, 523577745},
        {-2147483648, 2147483647, -1860233566},
        {7, 7, 7},
        {-2147483648, 0, -1113032720},
        {0, 1073741823, 890011514},
        {0, 9, 7},
        {-100, 100, -35},
        {1, 3, 3},
        {-5, 5, 4},
        {0, 2147483647, 69837296},
        {-2147483648, 2147483647, -579216361},
        {7, 7, 7},
        {-2147483648, 0, -102083376},
        {0, 1073741823, 54325797},
    };
    quorvane::EventRandom random;
    random.Seed(20261208);
    for (const auto& draw : draws) {
        EXPECT_EQ(
            random.Int(static_cast<std::int32_t>(draw.min), static_cast<std::int32_t>(draw.max)),
            draw.expected)
            << draw.min << ".." << draw.max;
    }
}

TEST(EventRandomTest, EngineIsTheStandardMersenneTwister) {
    std::mt19937 engine;  // what EventRandom starts as before Load reseeds it
    engine.discard(9999);
    EXPECT_EQ(engine(), 4123659995u);
}

TEST(EventRandomTest, BothBoundsAreReachedAndNothingElse) {
    quorvane::EventRandom random;
    random.Seed(1);
    struct Range {
        std::int32_t min, max;
    };
    for (const Range range : {Range{1, 3}, Range{-5, 5}, Range{3, 1}, Range{-2, -2}}) {
        std::set<std::int32_t> seen;
        for (int i = 0; i < 2000; ++i) {
            seen.insert(random.Int(range.min, range.max));
        }
        const auto lo = std::min(range.min, range.max);
        const auto hi = std::max(range.min, range.max);
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(hi - lo + 1)) << lo << ".." << hi;
        EXPECT_EQ(*seen.begin(), lo);
        EXPECT_EQ(*seen.rbegin(), hi);
    }
}

TEST(EventRandomTest, EveryDrawTakesAtLeastOneEngineOutput) {
    quorvane::EventRandom random;
    random.Seed(99);
    std::mt19937 shadow(99);
    EXPECT_EQ(random.Int(7, 7), 7);
    shadow.discard(1);
    EXPECT_EQ(random.Engine(), shadow);
    EXPECT_EQ(random.Index(1), 0u);
    shadow.discard(1);
    EXPECT_EQ(random.Engine(), shadow);
    // The whole 32-bit range is one output, shifted.
    const auto x = shadow();
    EXPECT_EQ(random.Int(INT32_MIN, INT32_MAX), static_cast<std::int32_t>(x ^ 0x80000000u));
}

// Two threads may draw at once (a plugin loaded off the game thread, a second BeginPlay): no
// output may be lost or taken twice. ThreadSanitizer sees a draw without the lock even when
// the threads happen not to overlap.
TEST(EventRandomTest, DrawsFromTwoThreadsTakeOneOutputEach) {
    quorvane::EventRandom random;
    random.Seed(5);
    constexpr int kDraws = 50000;
    std::atomic<int> ready{0};
    const auto draw = [&ready, &random](bool index) {
        ++ready;
        while (ready < 2) {
        }
        for (int i = 0; i < kDraws; ++i) {
            index ? static_cast<void>(random.Index(1)) : static_cast<void>(random.Int(3, 3));
        }
    };
    std::thread other(draw, true);
    draw(false);
    other.join();
    std::mt19937 shadow(5);
    shadow.discard(2 * kDraws);
    EXPECT_EQ(random.Engine(), shadow);
}

TEST(EventTimerTest, MinutesBecomeSecondsWithoutOverflow) {
    EXPECT_EQ(quorvane::MinutesToSeconds(7), 420);
    EXPECT_EQ(quorvane::MinutesToSeconds(0), 0);
    EXPECT_EQ(quorvane::MinutesToSeconds(-3), -180);
    EXPECT_EQ(quorvane::MinutesToSeconds(35791394), 2147483640);
    EXPECT_EQ(quorvane::MinutesToSeconds(35791395), INT32_MAX);
    EXPECT_EQ(quorvane::MinutesToSeconds(INT32_MIN), INT32_MIN);
}

TEST(EventTimerTest, RegistersUnderTheModulePathAndFiresOnce) {
    testing_support::PluginHost host(/*timeScale=*/50.0);
    quorvane::Settings s;
    s.MinimumTimeToWait = s.MaximumTimeToWait = 60;
    s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 0;
    quorvane::RconService rcon(quorvane::platform::SystemClientEnv());
    std::atomic<int> fired{0};
    quorvane::DiscordNotifier discord(s, "Quorvane (test, 1.0)", [](const auto&) {});
    quorvane::EventHistory history(host.Dir().Path() / "events.jsonl");
    quorvane::EventChain chain(s, {rcon, discord, history, [&fired](std::uint64_t) { ++fired; }});
    std::vector<asahost::PendingTimer> pending;
    host.Game().Run([&] {
        chain.ScheduleFirst();
        chain.Rearm();  // as after a reload: the first wait goes, one of 0 s comes
        chain.ScheduleFirst();
        pending = asahost::PendingTimers();
    });
    ASSERT_EQ(pending.size(), 2u);
    std::string path;
    for (wchar_t unit : quorvane::platform::OwnModulePath()) {
        path += static_cast<char>(unit);  // an ASCII path in the build tree
    }
    ASSERT_FALSE(path.empty());
    for (const auto& timer : pending) {
        EXPECT_EQ(timer.owner, path);
        EXPECT_EQ(timer.identifier, path + "_0");
    }
    EXPECT_EQ(pending[0].delaySeconds, 0);
    EXPECT_EQ(pending[1].delaySeconds, 3600);
    // A 0-second timer fires at the next tick (1/50 s here), and only once.
    for (int i = 0; i < 200 && fired == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(asahost::PendingTimers().size(), 1u);
}

}  // namespace
