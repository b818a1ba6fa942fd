// The chain in-process: one event as the host's timer starts it (the re-arm, the draws, the log
// lines, what reaches the RCON client), and an event the delivery refuses.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ArgvRecord.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "Host/Timers.h"
#include "PluginHost.h"
#include "Receiver.h"
#include "events/EventChain.h"
#include "platform/ClientEnv.h"

namespace {

using Args = std::vector<std::string>;

class EventChainTest : public ::testing::Test {
  protected:
    EventChainTest() {
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
    ~EventChainTest() override {
        EXPECT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(10)));
        // Completions and timers run on the game thread: after this, none reaches the chain.
        host_.Game().Run([&] {
            discordAlive_ = false;
            discord_.DropTimers();
        });
        asahost::SetWorld(nullptr);
    }

    quorvane::Settings& EventSettings() { return settings_; }

    // Discord posts go to a local receiver, in colour 1.
    void PostToReceiver() {
        receiver_.Start();
        settings_.DiscordWebhook = receiver_.BaseUrl() + "/api/webhooks/1/x";
        settings_.DiscordWebhookColor = "1";
    }

    // The own server's command first, then the broadcasts, which run side by side: sorted.
    std::vector<Args> ClientsStarted() {
        EXPECT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(10)));
        auto started = record_.Arguments();
        if (!started.empty()) {
            std::sort(started.begin() + 1, started.end());
        }
        return started;
    }

    // As a server starts the chain: its first wait armed, on the game thread.
    void Start() {
        host_.Game().Run([&] { chain_.ScheduleFirst(); });
    }
    // As a server's timer starts the chain's next event: its wait passes.
    void Due() {
        ASSERT_TRUE(chain_.Armed());
        host_.AdvanceTimers(chain_.Armed()->Seconds);
    }

    static std::vector<int> PendingDelays() {
        std::vector<int> delays;
        for (const auto& timer : asahost::PendingTimers()) {
            delays.push_back(timer.delaySeconds);
        }
        return delays;
    }

    // A game second is a real hour: only AdvanceTimers fires a timer.
    testing_support::PluginHost host_{1.0 / 3600};
    std::unique_ptr<gameserver::GameWorld> world_;
    testing_support::ArgvRecord record_{host_.Dir().Path() / "argv.jsonl"};
    webhook::Receiver receiver_;
    quorvane::Settings settings_;
    quorvane::RconService rcon_{quorvane::platform::SystemClientEnv()};
    // As the plugin's own way back: nothing once the fixture is going.
    bool discordAlive_ = true;
    quorvane::DiscordNotifier discord_{settings_, "Quorvane (test, 1.0)", [this](const auto& what) {
                                           if (discordAlive_) {
                                               what(discord_);
                                           }
                                       }};
    quorvane::EventHistory history_{host_.Dir().Path() / "events.jsonl"};
    quorvane::EventChain chain_{settings_, {rcon_, discord_, history_, [this](std::uint64_t step) {
                                                chain_.OnTimer(step);
                                            }}};
};

TEST_F(EventChainTest, FirstEventWaitsTheDrawnMinutes) {
    EventSettings().Debug = true;
    chain_.ScheduleFirst();
    EXPECT_EQ(PendingDelays(), std::vector<int>{420});
    EXPECT_EQ(host_.PluginLines(), (std::vector<std::string>{"[Quorvane][info] Server Ready",
                                                             "[Quorvane][info] Time to wait: 7"}));
    host_.ClearLines();
    EventSettings().Debug = false;
    EventSettings().MinimumTimeToWait = 0;
    EventSettings().MaximumTimeToWait = 0;
    chain_.ScheduleFirst();
    EXPECT_EQ(PendingDelays(), (std::vector<int>{420, 0}));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(EventChainTest, AnEventReArmsLogsAndReachesEveryServer) {
    Start();
    EventSettings().Debug = true;
    Due();
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

TEST_F(EventChainTest, WithoutDebugNothingIsLoggedAndTheEventStillGoesOut) {
    Start();
    Due();
    EXPECT_TRUE(host_.PluginLines().empty());
    EXPECT_EQ(ClientsStarted().size(), 3u);
}

TEST_F(EventChainTest, DrawsTheDelayThenTheEventThenTheCoordinate) {
    auto& s = EventSettings();
    s.MinimumTimeToNextEvent = 1;
    s.MaximumTimeToNextEvent = 1000;
    s.RandomEvents = {{"a", "A", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}},
                      {"b", "B", {{4, 4, 4}, {5, 5, 5}}},
                      {"c", "C", {{6, 6, 6}}}};
    Start();
    for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        // The same draws on an engine of the same seed tell what one run must choose and
        // where the engine must be afterwards.
        quorvane::EventRandom reference;
        reference.Seed(seed);
        const auto minutes = reference.Int(1, 1000);
        const auto event = reference.Index(3);
        const auto coordinate =
            reference.Index(static_cast<std::uint32_t>(s.RandomEvents[event].RandomCCCs.size()));
        chain_.Random().Seed(seed);

        record_.Clear();
        Due();
        EXPECT_EQ(chain_.Random().Engine(), reference.Engine());
        EXPECT_EQ(PendingDelays(), std::vector<int>{minutes * 60});
        const auto& chosen = s.RandomEvents[event];
        const float value = chosen.RandomCCCs[coordinate].X;
        EXPECT_EQ(ClientsStarted()[0][3], "StartWorldEvent " + chosen.EventId + " " +
                                              std::to_string(static_cast<int>(value)) + " " +
                                              std::to_string(static_cast<int>(value)) + " " +
                                              std::to_string(static_cast<int>(value)));
    }
}

TEST_F(EventChainTest, OneEventWithOneCoordinateStillTakesThreeDraws) {
    Start();
    chain_.Random().Seed(7);
    std::mt19937 shadow(7);
    Due();
    shadow.discard(3);
    EXPECT_EQ(chain_.Random().Engine(), shadow);
}

TEST_F(EventChainTest, NothingToStartEndsTheRunAfterTheReArmWithOneWarning) {
    Start();
    EventSettings().RandomEvents = {};
    Due();
    EXPECT_EQ(PendingDelays(), std::vector<int>{300});
    EventSettings().RandomEvents = {{"calm", "Calm", {}}};
    Due();
    EXPECT_EQ(PendingDelays(), std::vector<int>{300});
    EXPECT_EQ(host_.PluginLines(),
              (std::vector<std::string>{
                  "[Quorvane][warning] No events are configured for this server; none started",
                  "[Quorvane][warning] Event calm (Calm) has no coordinates; not started"}));
    EXPECT_TRUE(ClientsStarted().empty());
}

TEST_F(EventChainTest, WithoutAWorldThePositionIsZero) {
    asahost::SetWorld(nullptr);
    EventSettings().BroadcastStartEventMessage = "{Lat} {Lon}";
    Start();
    Due();
    EXPECT_EQ(ClientsStarted().back().back(), "0.000000 0.000000");
}

TEST_F(EventChainTest, ReversedBoundsAreDrawnSwapped) {
    EventSettings().MinimumTimeToNextEvent = 9;
    EventSettings().MaximumTimeToNextEvent = 8;
    Start();
    for (int i = 0; i < 20; ++i) {
        Due();
        const int delay = chain_.Armed()->Seconds;
        EXPECT_TRUE(delay == 480 || delay == 540) << delay;
    }
}

// The delivery refusing an event (here: it is stopping) is an event refused, for the admin
// and in the state; Discord still hears of it.
TEST_F(EventChainTest, AnEventTheDeliveryRefusesIsReportedRefusedAndStillAnnounced) {
    PostToReceiver();
    EventSettings().DiscordBroadcastMessage = "{Eventlabel}";
    rcon_.Stop();
    quorvane::StartOutcome outcome{};
    host_.Game().Run([&] { outcome = chain_.StartNow("meteor"); });
    EXPECT_FALSE(outcome.Started);
    EXPECT_EQ(outcome.Text,
              "Event meteor (The \"Big\" Meteor) not started: RCON delivery is stopping");
    ASSERT_TRUE(chain_.Last());
    EXPECT_EQ(chain_.Last()->Refused, "RCON delivery is stopping");
    EXPECT_EQ(host_.PluginLines(),
              std::vector<std::string>{
                  "[Quorvane][warning] Event meteor not started: RCON delivery is stopping"});
    ASSERT_TRUE(receiver_.WaitForRecords(1, std::chrono::seconds(10)));
    EXPECT_EQ(receiver_.Records()[0].body,
              R"({"content":"","embeds":[{"color":"1","description":"The \"Big\" Meteor"}]})");
    EXPECT_TRUE(ClientsStarted().empty());
}

// Discord takes UTF-8 and gets it when asked to; RCON, the game's, gets ASCII whatever.
TEST_F(EventChainTest, DiscordKeepsUnicodeOnlyWhenAskedAndRconNever) {
    PostToReceiver();
    auto& s = EventSettings();
    s.DiscordBroadcastHeader = "{Eventlabel}";
    s.DiscordBroadcastMessage = "{Eventlabel} \xE2\x98\x84";
    s.BroadcastStartEventMessage = "{Eventlabel} \xE2\x98\x84";
    s.RandomEvents = {{"meteor", "M\xC3\xA9t\xC3\xA9ore", {{1, 2, 3}}}};
    for (const bool keep : {false, true}) {
        s.DiscordKeepUnicode = keep;
        host_.Game().Run([&] { chain_.StartNow("meteor"); });
        ASSERT_TRUE(receiver_.WaitForRecords(keep ? 2 : 1, std::chrono::seconds(10)));
    }
    EXPECT_EQ(receiver_.Records()[0].body,
              R"({"content":"M??t??ore","embeds":[{"color":"1","description":"M??t??ore ???"}]})");
    EXPECT_EQ(receiver_.Records()[1].body,
              "{\"content\":\"M\xC3\xA9t\xC3\xA9ore\",\"embeds\":[{\"color\":\"1\",\"description\":"
              "\"M\xC3\xA9t\xC3\xA9ore \xE2\x98\x84\"}]}");
    const auto started = ClientsStarted();
    ASSERT_EQ(started.size(), 6u);
    const auto broadcasts = std::count_if(started.begin(), started.end(), [](const Args& client) {
        return client.back() == "M??t??ore ???";
    });
    EXPECT_EQ(broadcasts, 4);  // two events, two servers each
}

}  // namespace
