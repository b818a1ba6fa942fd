// One event from the timer's point of view: the re-arm, the draws, the log lines, and what
// reaches the RCON client.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ArgvRecord.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "Host/Timers.h"
#include "PluginHost.h"
#include "config/Settings.h"
#include "events/EventLauncher.h"
#include "events/EventRandom.h"
#include "notify/RconFanout.h"

namespace {

using quorvane::EventSettings;
using Args = std::vector<std::string>;

class EventLauncherTest : public ::testing::Test {
  protected:
    EventLauncherTest() {
        gameserver::RegisterWorldNames();
        gameserver::MapSettings map;
        gameserver::MapEntry entry;
        entry.playableMin = {-100000, -100000, -10000};
        entry.playableMax = {100000, 100000, 10000};
        entry.originMin[0] = entry.originMin[1] = -100000;
        entry.originMax[0] = entry.originMax[1] = 100000;
        map.entries = {entry};
        world_ = std::make_unique<gameserver::GameWorld>(map);
        asahost::SetWorld(world_->World());

        auto& s = EventSettings();
        s.Serverlabel = "The Island";
        s.ServerEventsCommand = "StartWorldEvent";
        s.BroadcastStartEventMessage = "{EVENTLABEL} on {serverlabel} at {Lat}/{lon}\nGo!";
        s.MCRconPath = RECORD_ARGS_FILE;
        s.RconSettings = {"10.0.0.1", 27020, "own", "Island"};
        s.RconInfos = {{"10.0.0.1", 27020, "own", "Island"}, {"10.0.0.2", 27021, "other", "B"}};
        s.MinimumTimeToWait = s.MaximumTimeToWait = 7;
        s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 5;
        s.RandomEvents = {{"meteor", "The \"Big\" Meteor", {{50000, -50000, 200000}}}};
    }
    ~EventLauncherTest() override {
        EXPECT_TRUE(quorvane::RconFanout::WaitUntilIdle(std::chrono::seconds(10)));
        asahost::SetWorld(nullptr);
    }

    // The own server's command first, then the broadcasts, which run side by side: sorted.
    std::vector<Args> ClientsStarted() {
        EXPECT_TRUE(quorvane::RconFanout::WaitUntilIdle(std::chrono::seconds(10)));
        auto started = record_.Arguments();
        if (!started.empty()) {
            std::sort(started.begin() + 1, started.end());
        }
        return started;
    }

    static std::vector<int> PendingDelays() {
        std::vector<int> delays;
        for (const auto& timer : asahost::PendingTimers()) {
            delays.push_back(timer.delaySeconds);
        }
        return delays;
    }

    testing_support::PluginHost host_;
    std::unique_ptr<gameserver::GameWorld> world_;
    testing_support::ArgvRecord record_{host_.Dir().Path() / "argv.jsonl"};
};

TEST_F(EventLauncherTest, FirstEventWaitsTheDrawnMinutes) {
    EventSettings().Debug = true;
    quorvane::ScheduleFirstEvent();
    EXPECT_EQ(PendingDelays(), std::vector<int>{420});
    EXPECT_EQ(host_.PluginLines(), (std::vector<std::string>{"[Quorvane][info] Server Ready",
                                                             "[Quorvane][info] Time to wait: 7"}));
    host_.ClearLines();
    EventSettings().Debug = false;
    EventSettings().MinimumTimeToWait = 0;
    EventSettings().MaximumTimeToWait = 0;
    quorvane::ScheduleFirstEvent();
    EXPECT_EQ(PendingDelays(), (std::vector<int>{420, 0}));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(EventLauncherTest, AnEventReArmsLogsAndReachesEveryServer) {
    EventSettings().Debug = true;
    quorvane::StartEvent();
    EXPECT_EQ(PendingDelays(), std::vector<int>{300});
    EXPECT_EQ(host_.PluginLines(),
              (std::vector<std::string>{
                  "[Quorvane][info] Starting event!",
                  "[Quorvane][info] Event: The \"Big\" Meteor",
                  "[Quorvane][info] Coordinate: 50000, -50000, 200000",
                  "[Quorvane][info] Command: StartWorldEvent meteor 50000 -50000 2e+05",
                  "[Quorvane][info] Time to next event: 5",
              }));
    const std::string broadcast = R"(The "Big" Meteor on The Island at 75.000000/25.000000\nGo!)";
    EXPECT_EQ(ClientsStarted(),
              (std::vector<Args>{
                  {"-H10.0.0.1", "-P27020", "-pown", "StartWorldEvent meteor 50000 -50000 2e+05"},
                  {"-H10.0.0.1", "-P27020", "-pown", broadcast},
                  {"-H10.0.0.2", "-P27021", "-pother", broadcast},
              }));
}

TEST_F(EventLauncherTest, WithoutDebugNothingIsLoggedAndTheEventStillGoesOut) {
    quorvane::StartEvent();
    EXPECT_TRUE(host_.PluginLines().empty());
    EXPECT_EQ(ClientsStarted().size(), 3u);
}

TEST_F(EventLauncherTest, DrawsTheDelayThenTheEventThenTheCoordinate) {
    auto& s = EventSettings();
    s.MinimumTimeToNextEvent = 1;
    s.MaximumTimeToNextEvent = 1000;
    s.RandomEvents = {{"a", "A", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}},
                      {"b", "B", {{4, 4, 4}, {5, 5, 5}}},
                      {"c", "C", {{6, 6, 6}}}};
    for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        // The same draws on the same engine tell what one run must choose and where the
        // engine must be afterwards.
        quorvane::EventRandom().seed(seed);
        const std::mt19937 start = quorvane::EventRandom();
        const auto minutes = quorvane::RandomInt(1, 1000);
        const auto event = quorvane::RandomIndex(3);
        const auto coordinate = quorvane::RandomIndex(
            static_cast<std::uint32_t>(s.RandomEvents[event].RandomCCCs.size()));
        const std::mt19937 expected = quorvane::EventRandom();
        quorvane::EventRandom() = start;

        record_.Clear();
        quorvane::StartEvent();
        EXPECT_EQ(quorvane::EventRandom(), expected);
        EXPECT_EQ(PendingDelays().back(), minutes * 60);
        const auto& chosen = s.RandomEvents[event];
        const float value = chosen.RandomCCCs[coordinate].X;
        EXPECT_EQ(ClientsStarted()[0][3], "StartWorldEvent " + chosen.EventId + " " +
                                              std::to_string(static_cast<int>(value)) + " " +
                                              std::to_string(static_cast<int>(value)) + " " +
                                              std::to_string(static_cast<int>(value)));
    }
}

TEST_F(EventLauncherTest, OneEventWithOneCoordinateStillTakesThreeDraws) {
    quorvane::EventRandom().seed(7);
    std::mt19937 shadow(7);
    quorvane::StartEvent();
    shadow.discard(3);
    EXPECT_EQ(quorvane::EventRandom(), shadow);
}

TEST_F(EventLauncherTest, NothingToStartEndsTheRunAfterTheReArmWithOneWarning) {
    EventSettings().RandomEvents = {};
    quorvane::StartEvent();
    EventSettings().RandomEvents = {{"calm", "Calm", {}}};
    quorvane::StartEvent();
    EXPECT_EQ(PendingDelays(), (std::vector<int>{300, 300}));
    EXPECT_EQ(host_.PluginLines(),
              (std::vector<std::string>{
                  "[Quorvane][warning] No events are configured for this server; none started",
                  "[Quorvane][warning] Event calm (Calm) has no coordinates; not started"}));
    EXPECT_TRUE(ClientsStarted().empty());
}

TEST_F(EventLauncherTest, WithoutAWorldThePositionIsZero) {
    asahost::SetWorld(nullptr);
    EventSettings().BroadcastStartEventMessage = "{Lat} {Lon}";
    quorvane::StartEvent();
    EXPECT_EQ(ClientsStarted().back().back(), "0.000000 0.000000");
}

TEST_F(EventLauncherTest, ReversedBoundsAreDrawnSwapped) {
    EventSettings().MinimumTimeToNextEvent = 9;
    EventSettings().MaximumTimeToNextEvent = 8;
    for (int i = 0; i < 20; ++i) {
        quorvane::StartEvent();
    }
    for (const int delay : PendingDelays()) {
        EXPECT_TRUE(delay == 480 || delay == 540) << delay;
    }
}

}  // namespace
