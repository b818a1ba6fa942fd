// The admins' controls of the event chain: weights, no repeats, players online, active hours,
// and the history of events.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "ChainFixture.h"
#include "Host/Timers.h"
#include "Receiver.h"
#include "config/ActiveHours.h"
#include "events/EventChain.h"
#include "events/EventDraw.h"
#include "events/EventTexts.h"
#include "platform/Platform.h"

namespace {

using quorvane::EventRandom;
using quorvane::RandomEvent;
using testing_support::ClientExit;
using Lines = std::vector<std::string>;

std::vector<RandomEvent> Events(std::vector<std::int32_t> weights) {
    std::vector<RandomEvent> events;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        events.push_back({"e" + std::to_string(i), "E", {{1, 2, 3}}, weights[i]});
    }
    return events;
}

// 40,000 draws: a count strays from its share by a few hundred by chance (the standard
// deviation is under 100), never by 600; a draw that ignored the weights would be off by 3,000.
TEST(EventDrawTest, SharesFollowTheWeights) {
    const auto events = Events({1, 1, 2});
    EventRandom random;
    random.Seed(20261208);
    std::vector<int> counts(3);
    for (int i = 0; i < 40000; ++i) {
        ++counts[quorvane::DrawEventIndex(events, {}, 0, random)];
    }
    for (const auto& [index, expected] : {std::pair{0, 10000}, {1, 10000}, {2, 20000}}) {
        EXPECT_NEAR(counts[index], expected, 600) << "event " << index;
    }
    EXPECT_EQ(quorvane::EventShares(events), (std::vector<double>{0.25, 0.25, 0.5}));
}

// Weight 0 is never drawn, with repeats avoided or not (the one left that can start is still
// not it); the others keep their shares among themselves.
TEST(EventDrawTest, WeightZeroIsNeverDrawn) {
    const auto events = Events({0, 1, 0, 3});
    EventRandom random;
    random.Seed(11);
    std::vector<int> counts(4);
    for (int i = 0; i < 4000; ++i) {
        ++counts[quorvane::DrawEventIndex(events, {}, 0, random)];
        ++counts[quorvane::DrawEventIndex(events, {"e1", "e3"}, 2, random)];
    }
    EXPECT_EQ(counts[0] + counts[2], 0);
    EXPECT_EQ(quorvane::EventShares(events), (std::vector<double>{0, 0.25, 0, 0.75}));
}

// Weights of 1, written or not, draw as the plugin always has: one index draw, output for
// output.
TEST(EventDrawTest, WithoutWeightsEveryDrawIsTodays) {
    for (const auto& events : {Events({1, 1, 1, 1, 1}), Events({1, 1, 1, 1, 1})}) {
        EventRandom random;
        EventRandom today;
        random.Seed(7);
        today.Seed(7);
        for (int i = 0; i < 10000; ++i) {
            ASSERT_EQ(quorvane::DrawEventIndex(events, {}, 0, random), today.Index(5)) << i;
        }
        EXPECT_EQ(random.Engine(), today.Engine());
    }
}

TEST(EventDrawTest, RecentEventsAreLeftOutWhileAnotherRemains) {
    const auto events = Events({1, 5, 1});
    EventRandom random;
    random.Seed(3);
    std::deque<std::string> recent;
    for (int i = 0; i < 1000; ++i) {
        const auto& id = events[quorvane::DrawEventIndex(events, recent, 1, random)].EventId;
        ASSERT_TRUE(recent.empty() || recent.back() != id) << "repeated at draw " << i;
        recent.push_back(id);
    }
    // Two of three left out: the third every time.
    recent = {"e0", "e1"};
    EXPECT_EQ(quorvane::DrawEventIndex(events, recent, 2, random), 2u);
    // An event that cannot start (no coordinates) is never what is left: the recent one that
    // can comes again.
    auto stuck = events;
    stuck[2].RandomCCCs.clear();
    for (int i = 0; i < 100; ++i) {
        EXPECT_NE(quorvane::DrawEventIndex(stuck, recent, 2, random), 2u);
    }
    // All of them left out: any may come again.
    recent = {"e0", "e1", "e2"};
    std::set<std::uint32_t> drawn;
    for (int i = 0; i < 200; ++i) {
        drawn.insert(quorvane::DrawEventIndex(events, recent, 3, random));
    }
    EXPECT_EQ(drawn.size(), 3u);
}

TEST(ActiveHoursTest, ReadAndHeld) {
    struct Case {
        const char* text;
        bool readable;
        std::vector<std::pair<int, bool>> minutes;  // minute of the day, inside
    };
    const Case cases[] = {
        {"18:00-23:30",
         true,
         {{17 * 60 + 59, false}, {18 * 60, true}, {23 * 60 + 29, true}, {23 * 60 + 30, false}}},
        {"22:00-02:00",
         true,
         {{22 * 60, true}, {0, true}, {119, true}, {120, false}, {21 * 60 + 59, false}}},
        {"00:00-24:00", true, {{0, true}, {1439, true}}},
        {"06:00-06:00", true, {{0, true}, {1439, true}}},
        {"23:59-24:00", true, {{1439, true}, {0, false}}},
        {"24:00-02:00", false, {}},
        {"6:00-8:00", false, {}},
        {"06:60-08:00", false, {}},
        {"06:00 - 08:00", false, {}},
        {"-0:30-01:00", false, {}},
        {"+1:00-02:00", false, {}},
        {" 1:00-02:00", false, {}},
        {"", false, {}},
    };
    for (const auto& c : cases) {
        const auto hours = quorvane::ParseActiveHours(c.text);
        ASSERT_EQ(hours.has_value(), c.readable) << c.text;
        for (const auto& [minute, inside] : c.minutes) {
            EXPECT_EQ(quorvane::InActiveHours(*hours, minute), inside) << c.text << " " << minute;
        }
    }
    EXPECT_EQ(quorvane::ClockText(4 * 60 + 7), "04:07");
}

// The chain with a scripted delivery: no processes, so it can run many events. A game second
// is a real hour: only AdvanceTimers fires a timer.
class ChainControlsTest : public testing_support::ChainFixture {
  protected:
    ChainControlsTest() : ChainFixture(1.0 / 3600) {
        settings_.ServerKey = "Island";
        settings_.ServerEventsCommand = "Start";
        settings_.MCRconPath = "rcon";
        settings_.RconSettings = {"127.0.0.1", 27020, "pw", "Island"};
        settings_.MinimumTimeToWait = settings_.MaximumTimeToWait = 5;
        settings_.MinimumTimeToNextEvent = 1;
        settings_.MaximumTimeToNextEvent = 1000;
        settings_.RandomEvents = {{"a", "A", {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}},
                                  {"b", "B", {{4, 4, 4}, {5, 5, 5}}},
                                  {"c", "C", {{6, 6, 6}}}};
    }

    // The events' own commands the delivery has run, in order.
    Lines Commands() {
        EXPECT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        Lines commands;
        for (const auto& run : env_->Runs()) {
            commands.push_back(run.back());
        }
        return commands;
    }
    Lines HistoryLines() const {
        Lines lines;
        std::ifstream in(history_file_);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    static std::vector<int> PendingDelays() {
        std::vector<int> delays;
        for (const auto& timer : asahost::PendingTimers()) {
            delays.push_back(timer.delaySeconds);
        }
        return delays;
    }
    // As a server's timer starts the chain's next event, on the game thread: the chain is started
    // first if it is not yet, then its wait passes.
    void Due() {
        host_.Game().Run([&] {
            if (!chain_.Armed()) {
                chain_.ScheduleFirst();
            }
            asahost::AdvanceTimers(chain_.Armed()->Seconds);
        });
    }

    quorvane::ScheduleStore store_{schedule_file_};
    quorvane::EventChain chain_{
        settings_,
        {rcon_, discord_, history_, [this](std::uint64_t step) { chain_.OnTimer(step); }, &store_}};
};

// With none of the new keys every engine output and pick is what it always was: the first
// wait, then for each event the next wait, the event and its coordinate, over a long run started
// by the host's timers; every timer, every text sent, no line logged and no file but the
// history.
TEST_F(ChainControlsTest, ALongRunWithoutTheNewKeysDrawsAsAlways) {
    settings_.BroadcastStartEventMessage = "{Eventlabel}";
    settings_.RconInfos = {{"127.0.0.1", 27020, "pw", "Island"}, {"10.0.0.2", 27021, "pw", "B"}};
    chain_.Random().Seed(20261208);
    EventRandom today;
    today.Seed(20261208);
    int wait = today.Int(5, 5) * 60;
    const auto fired = asahost::TimersFired();
    host_.Game().Run([&] { chain_.ScheduleFirst(); });
    Lines expected;
    for (int i = 0; i < 500; ++i) {
        ASSERT_EQ(PendingDelays(), std::vector<int>{wait}) << "before event " << i;
        const int next = today.Int(1, 1000) * 60;
        const auto& event = settings_.RandomEvents[today.Index(3)];
        const auto& c =
            event.RandomCCCs[today.Index(static_cast<std::uint32_t>(event.RandomCCCs.size()))];
        expected.insert(expected.end(), {quorvane::MakeEventCommand("Start", event.EventId, c),
                                         event.Eventlabel, event.Eventlabel});
        host_.AdvanceTimers(wait);
        wait = next;
        ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));  // one event at a time
    }
    EXPECT_EQ(Commands(), expected);
    EXPECT_EQ(chain_.Random().Engine(), today.Engine());
    EXPECT_EQ(asahost::TimersFired() - fired, 500u);
    EXPECT_EQ(PendingDelays(), std::vector<int>{wait});
    EXPECT_TRUE(host_.PluginLines().empty());
    EXPECT_TRUE(history_.WaitUntilWritten(std::chrono::seconds(30)));
    EXPECT_EQ(HistoryLines().size(), 500u);
    EXPECT_FALSE(std::filesystem::exists(schedule_file_));
}

// A due event with too few players, or outside the hours, is skipped: one info line and one
// history line, no draw, and the next one is scheduled as usual.
TEST_F(ChainControlsTest, TooFewPlayersOrTheWrongHourSkipsAndTheChainGoesOn) {
    settings_.MinimumPlayersOnline = 5;
    // Six slots listed, four of them players who have left.
    world_->SetPlayers(6);
    world_->LeavePlayers(4);
    host_.Game().Run([&] { chain_.ScheduleFirst(); });
    chain_.Random().Seed(1);
    EventRandom replay;
    replay.Seed(1);
    Due();
    // The skip drew the wait and nothing else.
    replay.Int(1, 1000);
    EXPECT_EQ(chain_.Random().Engine(), replay.Engine());
    world_->SetPlayers(5);
    Due();
    // A started event's line comes once its delivery is done.
    ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
    settings_.MinimumPlayersOnline = 0;
    // An hour that is not now: from two hours ahead to three.
    const int now = quorvane::platform::LocalMinuteOfDay(std::chrono::system_clock::now());
    const auto at = [&](int hours) { return quorvane::ClockText((now + hours * 60) % 1440); };
    const std::string hours = at(2) + "-" + at(3);
    settings_.ActiveHours = quorvane::ParseActiveHours(hours);
    Due();
    EXPECT_EQ(Commands().size(), 1u);
    EXPECT_EQ(asahost::PendingTimers().size(), 1u);  // the chain's next
    const auto plugin = host_.PluginLines();
    ASSERT_EQ(plugin.size(), 2u);
    EXPECT_EQ(plugin[0], "[Quorvane][info] Event skipped: 2 player(s) online, 5 needed");
    EXPECT_TRUE(plugin[1].starts_with("[Quorvane][info] Event skipped: ") &&
                plugin[1].ends_with(" is outside ActiveHours " + hours))
        << plugin[1];
    const auto lines = HistoryLines();
    ASSERT_EQ(lines.size(), 3u);
    const auto first = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(first["outcome"], "skipped");
    EXPECT_EQ(first["skip"], "players");
    EXPECT_EQ(first["reason"], "2 player(s) online, 5 needed");
    EXPECT_EQ(first["server"], "Island");
    EXPECT_EQ(nlohmann::json::parse(lines[1])["outcome"], "started");
    EXPECT_EQ(nlohmann::json::parse(lines[2])["skip"], "hours");
}

TEST_F(ChainControlsTest, AStartedEventIsOneLineOnceItsDeliveryAndPostAreDone) {
    webhook::Receiver receiver;
    receiver.Start();
    receiver.SetBehaviour({webhook::Answer::BadRequest, 1, 1});
    settings_.DiscordWebhook = receiver.BaseUrl() + "/api/webhooks/1/x";
    settings_.DiscordWebhookColor = "1";
    settings_.DiscordBroadcastMessage = "{Eventlabel}";
    settings_.DiscordTimestamp = true;
    settings_.RandomEvents = {{"a", "A", {{1000, -2000, 0.1f}}, 1, "https://example.org/a.png"}};
    settings_.RconInfos = {{"127.0.0.1", 27020, "pw", "Island"}, {"10.0.0.2", 27021, "pw", "B"}};
    env_->Script("-H10.0.0.2", {{ClientExit::Kind::Exited, 3, {}}});
    const auto waitForLines = [&](std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (HistoryLines().size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    Due();  // the post refused
    Due();  // the post made
    ASSERT_EQ(Commands().size(), 6u);
    ASSERT_TRUE(receiver.WaitForRecords(2, std::chrono::seconds(30)));
    waitForLines(2);
    receiver.SetBehaviour({webhook::Answer::UnknownWebhook, 1, 1});
    Due();  // the webhook is gone: posting stops
    waitForLines(3);
    Due();
    waitForLines(4);
    receiver.Stop();
    const auto lines = HistoryLines();
    ASSERT_EQ(lines.size(), 4u);
    std::set<std::string> discord;
    std::set<std::string> times;
    for (const auto& text : lines) {
        discord.insert(nlohmann::json::parse(text)["discord"].get<std::string>());
        times.insert(nlohmann::json::parse(text)["time"].get<std::string>());
    }
    // Each post shows its event's image and start, the time of its history line.
    for (const auto& record : receiver.Records()) {
        const auto embed = nlohmann::json::parse(record.body)["embeds"][0];
        EXPECT_EQ(embed["image"]["url"], "https://example.org/a.png");
        EXPECT_TRUE(times.contains(embed["timestamp"].get<std::string>())) << embed;
    }
    EXPECT_EQ(discord, (std::set<std::string>{"failed: 400 Bad Request", "posted",
                                              "failed: 404 Not Found (the webhook no longer "
                                              "exists)",
                                              "not posted: posting stopped"}));
    auto line = nlohmann::json::parse(lines[0]);
    EXPECT_TRUE(line["time"].get<std::string>().ends_with("Z"));
    line.erase("time");
    line.erase("discord");
    EXPECT_EQ(line, nlohmann::json::parse(R"({"server":"Island","trigger":"timer",
        "outcome":"started","event":"a","label":"A","coordinate":[1000.0,-2000.0,0.1],
        "lat":50.125,"lon":49.75,"rcon":{"B":"exit code 3","Island":"delivered"}})"));
    const auto recent = history_.Recent();
    ASSERT_EQ(recent.size(), 4u);
    EXPECT_TRUE(quorvane::Describe(recent[1]).ends_with(
        " a (A): started; RCON B exit code 3, Island delivered; Discord posted"))
        << quorvane::Describe(recent[1]);
}

class EventHistoryTest : public ::testing::Test {
  protected:
    static quorvane::EventRecord Skip(int i) {
        quorvane::EventRecord record;
        record.Time =
            std::chrono::system_clock::time_point(std::chrono::seconds(1'765'000'000 + i));
        record.Server = "Island";
        record.Trigger = "timer";
        record.Outcome = "skipped";
        record.Reason = "0 player(s) online, 1 needed";
        record.SkipKind = "players";
        return record;
    }
    testing_support::PluginHost host_;
    std::filesystem::path file_ = host_.Dir().Path() / "events.jsonl";
};

TEST_F(EventHistoryTest, AtItsLimitTheFileBecomesTheOneOldFile) {
    const auto size = quorvane::ToJsonLine(Skip(0)).size() + 1;
    quorvane::EventHistory history(file_, 10 * size);
    for (int i = 0; i < 25; ++i) {
        history.Add(Skip(i));
    }
    const auto old = host_.Dir().Path() / "events.1.jsonl";
    // 25 lines, 10 a file: the first ten gone, the next ten in the old file.
    EXPECT_EQ(std::filesystem::file_size(old), 10 * size);
    EXPECT_EQ(std::filesystem::file_size(file_), 5 * size);
    std::ifstream in(old);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, quorvane::ToJsonLine(Skip(10)));
    EXPECT_EQ(history.Recent().size(), 5u);
    EXPECT_EQ(quorvane::UtcText(history.Recent().back().Time), "2025-12-06T05:47:04Z");
}

// A line the disk cut short (a full disk, a crash) is not glued to the next one; and lines
// written by the history's own thread keep their order.
TEST_F(EventHistoryTest, EveryLineBeginsOnALineOfItsOwn) {
    std::ofstream(file_, std::ios::binary) << R"({"time":"2026-12-0)";
    quorvane::EventHistory history(file_);
    history.Start();
    for (int i = 0; i < 50; ++i) {
        history.Add(Skip(i));
    }
    history.Flush();
    Lines expected{R"({"time":"2026-12-0)"};
    for (int i = 0; i < 50; ++i) {
        expected.push_back(quorvane::ToJsonLine(Skip(i)));
    }
    Lines lines;
    std::ifstream in(file_);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    EXPECT_EQ(lines, expected);
}

TEST_F(EventHistoryTest, AFileThatCannotBeWrittenIsOneWarningAndNothingStops) {
    std::filesystem::create_directory(file_);  // a folder where the file would be
    quorvane::EventHistory history(file_);
    history.Add(Skip(0));
    history.Add(Skip(1));
    EXPECT_EQ(host_.PluginLines(), Lines{"[Quorvane][warning] The event history " + file_.string() +
                                         " cannot be written; events go on without it"});
    EXPECT_EQ(history.Recent().size(), 2u);
    std::filesystem::remove(file_);
    history.Add(Skip(2));
    EXPECT_EQ(std::filesystem::file_size(file_), quorvane::ToJsonLine(Skip(2)).size() + 1);
    EXPECT_EQ(host_.PluginLines().size(), 1u);
}

}  // namespace
