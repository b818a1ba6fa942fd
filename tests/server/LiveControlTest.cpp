// quorvane.status, quorvane.next and quorvane.reload through the real RCON client against the
// game stand-in, whose listener hands them to the game thread; and the same on its console.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "ArgvRecord.h"
#include "BackgroundProcess.h"
#include "LogLines.h"
#include "Process.h"
#include "Receiver.h"
#include "ScriptedServer.h"
#include "ServerDir.h"

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

json Config(int port) {
    return {
        {"Debug", true},
        {"DiscordWebhook", ""},
        {"DiscordBroadcastMessage", "m"},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "Start"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"MCRconPath", RECORD_ARGS_FILE},
        {"Island",
         {{"Serverlabel", "The Island"},
          {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}},
          // A game day before the first event: only commands start any.
          {"StartEventOnBootSettings", {{"MinimumTimeToWait", 1440}, {"MaximumTimeToWait", 1440}}},
          {"TimeBetweenEvents",
           {{"MinimumTimeToNextEvent", 1440}, {"MaximumTimeToNextEvent", 1440}}},
          {"RandomEvents",
           {{"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3"}}}},
            {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"4 5 6"}}}}}}}}};
}

class LiveControlTest : public ::testing::Test {
  protected:
    LiveControlTest() : port_(rcon_testing::UnusedPort()) {}

    void Start(const json& config, const Lines& more = {}) {
        dir_.WriteConfig(config.dump());
        Lines arguments{
            "TheIsland_WP?listen?RCONPort=" + std::to_string(port_) + "?ServerAdminPassword=pw",
            "-serverkey=Island", "--time-scale=60"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        server_ = std::make_unique<testing_support::BackgroundProcess>(
            testing_support::GameServerProgram(), arguments, dir_.Path());
        ASSERT_TRUE(server_->WaitForOutput("Server is ready", 1, std::chrono::seconds(30)))
            << server_->Output();
    }

    // The reply's lines.
    Lines Send(const std::string& command) {
        const auto result = testing_support::RunProcess(
            RCON_CLIENT_FILE, {"-H127.0.0.1", "-P" + std::to_string(port_), "-ppw", command},
            dir_.Path());
        EXPECT_EQ(result.exitCode, 0) << result.output;
        Lines lines;
        std::istringstream text(result.output);
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    // The texts of the events' own commands, in order.
    Lines Started() const {
        Lines commands;
        for (const auto& start : record_.Arguments()) {
            if (start.back().starts_with("Start ")) {
                commands.push_back(start.back());
            }
        }
        return commands;
    }

    bool WaitForStarted(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (Started().size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return Started().size() >= count;
    }

    std::string File() const { return (dir_.PluginDir() / "config.json").string(); }

    int port_;
    testing_support::ServerDir dir_;
    testing_support::ArgvRecord record_{dir_.Path() / "argv.jsonl"};
    std::unique_ptr<testing_support::BackgroundProcess> server_;
};

TEST_F(LiveControlTest, StatusBeforeAndAfterEventsStartedByName) {
    Start(Config(port_));
    auto status = Send("quorvane.status");
    ASSERT_GE(status.size(), 4u);
    EXPECT_EQ(status[0], "Quorvane: active");
    EXPECT_EQ(status[1], "Server key: Island");
    EXPECT_TRUE(status[2].starts_with("Next event: timer of 86400 s armed ")) << status[2];
    EXPECT_EQ(status[3], "Last event: none yet");

    EXPECT_EQ(Send("QUORVANE.NEXT storm"), Lines{"Started event storm (Storm)"});
    ASSERT_TRUE(WaitForStarted(1));
    EXPECT_EQ(Started(), Lines{"Start storm 4 5 6"});
    const auto random = Send("quorvane.next");
    ASSERT_EQ(random.size(), 1u);
    EXPECT_TRUE(random[0] == "Started event storm (Storm)" ||
                random[0] == "Started event meteor (Meteor)")
        << random[0];
    EXPECT_EQ(Send("quorvane.next comet"),
              Lines{"Unknown event id comet; the events are: meteor, storm"});
    ASSERT_TRUE(WaitForStarted(2));

    status = Send("quorvane.status");
    ASSERT_EQ(status.size(), 7u);
    // The timer chain was left alone.
    EXPECT_TRUE(status[2].starts_with("Next event: timer of 86400 s armed ")) << status[2];
    EXPECT_TRUE(status[3].starts_with("Last event: ")) << status[3];
    EXPECT_TRUE(
        status[4].starts_with("RCON Island (127.0.0.1:" + std::to_string(port_) + "): delivered, "))
        << status[4];
    // The history of the last events, the newest last.
    EXPECT_TRUE(status[5].starts_with("History: ") &&
                status[5].find(" storm (Storm): started") != std::string::npos)
        << status[5];
    EXPECT_TRUE(status[6].starts_with("History: ")) << status[6];
    EXPECT_EQ(server_->Stop(), 0);
}

TEST_F(LiveControlTest, ReloadTakesAGoodEditAndKeepsTheSettingsOfABrokenOne) {
    Start(Config(port_));
    json broken = Config(port_);
    broken["Island"]["RconSettings"]["RconPort"] = "27020";
    dir_.WriteConfig(broken.dump());
    EXPECT_EQ(Send("quorvane.reload"),
              (Lines{"Reload refused: " + File() +
                         " /Island/RconSettings/RconPort: type must be number, but is string",
                     "The running settings stay"}));
    EXPECT_EQ(Send("quorvane.next meteor"), Lines{"Started event meteor (Meteor)"});
    ASSERT_TRUE(WaitForStarted(1));

    // One game minute between events, a real second here: the chain runs by the new bounds.
    json edited = Config(port_);
    edited["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 1},
                                             {"MaximumTimeToNextEvent", 1}};
    edited["ServerEventsCommand"] = "Start";
    edited["Island"]["RandomEvents"] = {
        {"flood", {{"Eventlabel", "Flood"}, {"RandomCCCs", {"7 8 9"}}}}};
    dir_.WriteConfig(edited.dump());
    EXPECT_EQ(Send("quorvane.reload"), (Lines{"Reloaded", "Next event: timer of 60 s"}));
    ASSERT_TRUE(WaitForStarted(3)) << server_->Output();
    EXPECT_EQ(Started()[1], "Start flood 7 8 9");
    EXPECT_EQ(server_->Stop(), 0);
}

TEST_F(LiveControlTest, AReloadMakesAnInactivePluginActive) {
    json broken = Config(port_);
    broken["Island"].erase("Serverlabel");
    Start(broken);
    const std::string reason = File() + " /Island/Serverlabel: type must be string, but is null";
    EXPECT_EQ(Send("quorvane.status"), Lines{"Quorvane: inactive: " + reason});
    EXPECT_EQ(Send("quorvane.next"), Lines{"Quorvane is inactive: " + reason});

    json fixed = Config(port_);
    fixed["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                   {"MaximumTimeToWait", 0}};
    dir_.WriteConfig(fixed.dump());
    EXPECT_EQ(Send("quorvane.reload"), (Lines{"Reloaded: active", "Next event: timer of 0 s"}));
    ASSERT_TRUE(WaitForStarted(1)) << server_->Output();
    EXPECT_EQ(Send("quorvane.status")[0], "Quorvane: active");
    EXPECT_EQ(server_->Stop(), 0);
}

// The event warned of is named by the status, keeps its time through a reload, and is what
// quorvane.next starts; its own time then starts nothing.
TEST_F(LiveControlTest, AWarnedEventIsNamedKeptAndStartedAtOnce) {
    json config = Config(port_);
    config["EventWarningMinutes"] = {2};
    config["BroadcastEventWarningMessage"] = "{Eventlabel} in {Minutes}";
    // The warning after a real second, the event after three.
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 3},
                                                    {"MaximumTimeToWait", 3}};
    Start(config);
    const auto warned = [&]() -> std::string {
        for (const auto& start : record_.Arguments()) {
            if (start.back().ends_with(" in 2")) {
                return start.back() == "Meteor in 2" ? "meteor (Meteor) at 1 2 3"
                                                     : "storm (Storm) at 4 5 6";
            }
        }
        return {};
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (warned().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_FALSE(warned().empty()) << server_->Output();
    const auto coming = [&] {
        for (const auto& line : Send("quorvane.status")) {
            if (line.starts_with("Coming event: ")) {
                return line;
            }
        }
        return std::string();
    };
    const std::string line = coming();
    EXPECT_TRUE(line.starts_with("Coming event: " + warned() + ", starts ") &&
                line.ends_with("Z, warned"))
        << line;
    EXPECT_EQ(Send("quorvane.reload"), (Lines{"Reloaded", "Next event: timer of 180 s"}));
    EXPECT_EQ(coming(), line);

    const std::string id = warned().substr(0, warned().find(' '));
    EXPECT_EQ(Send("quorvane.next"),
              Lines{"Started event " + warned().substr(0, warned().find(" at "))});
    ASSERT_TRUE(WaitForStarted(1));
    // Past its first time: it did not come twice.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_EQ(Started(), Lines{"Start " + id + (id == "meteor" ? " 1 2 3" : " 4 5 6")});
    EXPECT_TRUE(coming().ends_with("Z")) << coming();  // the next, not warned yet
    EXPECT_EQ(server_->Stop(), 0);
}

// A command the plugins do not have keeps the game's own answer; on the console, the plugin's
// answer reaches the player who typed it, and its log.
TEST_F(LiveControlTest, OtherCommandsAndTheConsole) {
    Start(Config(port_));
    EXPECT_EQ(Send("listplayers"), (Lines{"Server received, But no response!! ", " "}));
    EXPECT_EQ(server_->Stop(), 0);

    // Standard input is the game's console with --console.
    const auto result = testing_support::RunProcess(
        "/bin/sh",
        {"-c",
         R"((sleep 1; printf 'quorvane.status\nnosuchcommand\n') | "$0" -serverkey=Island )"
         R"(--console --run-for=3)",
         testing_support::GameServerProgram().string()},
        dir_.Path());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto lines = testing_support::LogLines(result.output);
    for (const std::string line :
         {"[Quorvane][info] Quorvane: active", "[Quorvane][info] Server key: Island",
          "[GameServer][info] Server message to Admin: Quorvane: active",
          "[GameServer][info] Server message to Admin: Server key: Island",
          "[GameServer][warning] Unknown console command: nosuchcommand"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
}

// A deleted webhook: one warning, no more posts, the status says so, and a reload starts
// posting again.
TEST_F(LiveControlTest, AGoneWebhookStopsPostingUntilAReload) {
    webhook::Receiver receiver;
    receiver.Start();
    receiver.SetBehaviour({webhook::Answer::UnknownWebhook, 1, 1});
    json config = Config(port_);
    config["DiscordWebhook"] = receiver.BaseUrl() + "/api/webhooks/1/x";
    Start(config);
    EXPECT_EQ(Send("quorvane.status").back(), "Discord: no post yet");
    EXPECT_EQ(Send("quorvane.next storm"), Lines{"Started event storm (Storm)"});
    ASSERT_TRUE(receiver.WaitForRecords(1, std::chrono::seconds(30)));
    const std::string stopped =
        "Discord (event storm): posting stopped: 404 Not Found (the webhook no longer exists); "
        "quorvane.reload starts it again, ";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Send("quorvane.status").back().starts_with(stopped) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(Send("quorvane.status").back().starts_with(stopped));
    EXPECT_EQ(Send("quorvane.next meteor"), Lines{"Started event meteor (Meteor)"});
    EXPECT_EQ(Send("quorvane.reload"), (Lines{"Reloaded", "Next event: timer of 86400 s"}));
    EXPECT_EQ(Send("quorvane.next meteor"), Lines{"Started event meteor (Meteor)"});
    ASSERT_TRUE(receiver.WaitForRecords(2, std::chrono::seconds(30)));
    EXPECT_EQ(server_->Stop(), 0);
    // The event posted while posting was stopped never went out.
    ASSERT_EQ(receiver.Records().size(), 2u);
    EXPECT_EQ(receiver.Records()[1].status, 204);
    const auto lines = testing_support::LogLinesOf(server_->Output(), "Quorvane");
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "[Quorvane][warning] Discord announcement of event storm failed: 404 Not "
                         "Found (the webhook no longer exists); no more posts until "
                         "quorvane.reload"),
              1);
    receiver.Stop();
}

// The last post in each of its states, as quorvane.status ends. A game second is a real one
// here, so a retry after 60 s is still waiting when the status is asked.
TEST_F(LiveControlTest, StatusShowsTheLastPostInEachState) {
    webhook::Receiver receiver;
    receiver.Start();
    json config = Config(port_);
    config["DiscordWebhook"] = receiver.BaseUrl() + "/api/webhooks/1/x";
    Start(config, {"--time-scale=1"});
    const struct {
        webhook::Answer answer;
        const char* event;
        std::string status;
    } cases[] = {
        {webhook::Answer::Discord, "meteor", "posted"},
        {webhook::Answer::BadRequest, "storm", "failed: 400 Bad Request"},
        {webhook::Answer::RateLimited, "meteor", "retrying in 60 s: 429 Too Many Requests"},
        {webhook::Answer::UnknownWebhook, "storm",
         "posting stopped: 404 Not Found (the webhook no longer exists); quorvane.reload starts "
         "it again"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        receiver.SetBehaviour({c.answer, 60, 1});
        ASSERT_EQ(Send("quorvane.next " + std::string(c.event)).size(), 1u);
        const std::string expected =
            "Discord (event " + std::string(c.event) + "): " + c.status + ", ";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        std::string last = Send("quorvane.status").back();
        while (!last.starts_with(expected) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            last = Send("quorvane.status").back();
        }
        EXPECT_TRUE(last.starts_with(expected) && last.ends_with(" s ago")) << last;
    }
    EXPECT_EQ(server_->Stop(), 0);
    receiver.Stop();
}

// Every coordinate on the running map (the stand-in's map data: a main map and a cave), a
// point off every playable area flagged.
TEST_F(LiveControlTest, CoordsShowEachPlaceOnTheMapAndFlagThoseOffIt) {
    dir_.WriteFile("map-data.json", R"({"entries": [
        {"PlayableMin": [-400000, -400000, -100000], "PlayableMax": [400000, 400000, 100000],
         "OriginMin": [-400000, -400000], "OriginMax": [400000, 400000]},
        {"PlayableMin": [100000, 100000, -5000], "PlayableMax": [120000, 120000, 5000],
         "OriginMin": [100000, 100000], "OriginMax": [120000, 120000]}]})");
    json config = Config(port_);
    config["Island"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"0 0 0", "110000 110000 0"}}}},
        {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"500000 0 0"}}}},
        {"calm", {{"Eventlabel", "Calm"}}}};
    Start(config, {"--map-data=map-data.json"});
    EXPECT_EQ(
        Send("quorvane.coords"),
        (Lines{"calm (Calm): no coordinates", "meteor (Meteor) 0 0 0: Lat 50.000000, Lon 50.000000",
               "meteor (Meteor) 110000 110000 0: Lat 63.750000, Lon 63.750000",
               "storm (Storm) 500000 0 0: Lat 112.500000, Lon 50.000000, outside the "
               "playable area"}));
    EXPECT_EQ(server_->Stop(), 0);
}

// Too few players: each due event is skipped, with one info line and one history line, until
// players come (the stand-in's setplayers, counted through the world's player controllers).
TEST_F(LiveControlTest, EventsWaitForPlayers) {
    json config = Config(port_);
    config["Island"]["MinimumPlayersOnline"] = 3;
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 1},
                                             {"MaximumTimeToNextEvent", 1}};
    Start(config, {"--players=1"});
    ASSERT_TRUE(
        server_->WaitForOutput("[Quorvane][info] Event skipped: 1 player(s) online, 3 needed", 1,
                               std::chrono::seconds(30)))
        << server_->Output();
    EXPECT_TRUE(Started().empty());
    EXPECT_EQ(Send("setplayers 3"), Lines{"3 player(s) online"});
    ASSERT_TRUE(WaitForStarted(1)) << server_->Output();
    // The started event's line comes once its delivery is done, from the history's own thread.
    std::map<std::string, int> outcomes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (outcomes["started/"] == 0 && std::chrono::steady_clock::now() < deadline) {
        outcomes.clear();
        std::ifstream history(dir_.PluginDir() / "events.jsonl");
        for (std::string line; std::getline(history, line);) {
            const auto record = json::parse(line, nullptr, false);  // one being written
            if (record.is_discarded()) {
                continue;
            }
            ++outcomes[record["outcome"].get<std::string>() + "/" + record.value("skip", "")];
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(server_->Stop(), 0);
    EXPECT_GE(outcomes["skipped/players"], 1);
    EXPECT_GE(outcomes["started/"], 1);
}

}  // namespace
