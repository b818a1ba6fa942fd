// What players see and ask, from outside: two game servers, each its own process with the
// plugin, announce to each other with PlayerAnnouncements "quorvane"; a third server without
// Quorvane (a bare RCON listener) gets the texts as ServerChat; a player on one of them asks
// /event in the chat (the rule that drops a line within a second of the last is shown in
// tests/plugin/AnnouncementTest.cpp, where the game's time is the test's).

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "Process.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "TestListener.h"
#include "WallClock.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

struct Server {
    Server(std::string name, std::string shownAs)
        : key(std::move(name)), label(std::move(shownAs)), port(rcon_testing::UnusedPort()) {}

    json Section() const {
        return {
            {"Serverlabel", label},
            {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}},
            // The event a game day away; its warning 10 game minutes after the start.
            {"StartEventOnBootSettings",
             {{"MinimumTimeToWait", 1440}, {"MaximumTimeToWait", 1440}}},
            {"TimeBetweenEvents",
             {{"MinimumTimeToNextEvent", 1440}, {"MaximumTimeToNextEvent", 1440}}}};
    }

    void Start(const json& config) {
        dir.WriteConfig(config.dump());
        process = std::make_unique<testing_support::BackgroundProcess>(
            testing_support::GameServerProgram(),
            std::vector<std::string>{
                "TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
                "-serverkey=" + key, "--time-scale=60", "--players=1"},
            dir.Path());
    }

    void Send(const std::string& command) const {
        const auto result = testing_support::RunProcess(
            RCON_CLIENT_FILE, {"-H127.0.0.1", "-P" + std::to_string(port), "-ppw", command},
            dir.Path());
        EXPECT_EQ(result.exitCode, 0) << result.output;
    }

    std::string key;
    std::string label;
    int port;
    testing_support::ServerDir dir;
    std::unique_ptr<testing_support::BackgroundProcess> process;
};

TEST(PlayersClusterTest, EveryLetterOnEveryScreenServerChatWithoutQuorvaneAndAPlayerAsks) {
    rcon_testing::TestListener plain("pw");  // answers as a server whose plugins take nothing
    Server alpha("Alpha", "Alpha \u00cele");
    Server bravo("Bravo", "Bravo");
    json config = {
        {"DiscordWebhook", ""},
        {"DiscordWebhookColor", "1"},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordBroadcastMessage", "m"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"EventWarningMinutes", {1430}},
        {"BroadcastEventWarningMessage", "{Eventlabel} on {Serverlabel}: {Minutes} min"},
        {"ServerEventsCommand", "StartWorldEvent"},
        {"RconClient", "builtin"},
        {"PlayerAnnouncements", "quorvane"},
        {"PlayerCommand", "/event"},
        {"Alpha", alpha.Section()},
        {"Bravo", bravo.Section()},
        {"Plain",
         {{"RconSettings",
           {{"RconIP", "127.0.0.1"}, {"RconPort", plain.Port()}, {"RconPassword", "pw"}}}}}};
    config["Alpha"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "M\u00e9t\u00e9ore"}, {"RandomCCCs", {"1 2 3"}}}}};
    config["Bravo"]["RandomEvents"] = {
        {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"0 0 0"}}}}};
    alpha.Start(config);
    bravo.Start(config);

    // Each server's warning on both screens, every letter kept.
    for (const Server* server : {&alpha, &bravo}) {
        for (const std::string text :
             {"M\u00e9t\u00e9ore on Alpha \u00cele: 1430 min", "Storm on Bravo: 1430 min"}) {
            EXPECT_TRUE(server->process->WaitForOutput(
                "[GameServer][info] Players see on screen: " + text, 1, 60s))
                << server->key << ": " << server->process->Output();
            EXPECT_TRUE(server->process->WaitForOutput(
                "[GameServer][info] Players see in the chat: Quorvane: " + text, 1, 10s));
        }
    }
    // The server without Quorvane: each announcement, then the same as ServerChat in ASCII.
    ASSERT_TRUE(plain.Listener().WaitForCommands(4, 30s));
    std::vector<std::string> received;
    for (const auto& command : plain.Commands()) {
        received.push_back(command.command);
    }
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received,
              (std::vector<std::string>{"ServerChat M??t??ore on Alpha ??le: 1430 min",
                                        "ServerChat Storm on Bravo: 1430 min",
                                        "quorvane.announce M%C3%A9t%C3%A9ore%20on%20Alpha%20%C3%"
                                        "8Ele:%201430%20min",
                                        "quorvane.announce Storm%20on%20Bravo:%201430%20min"}));
    for (const Server* server : {&alpha, &bravo}) {
        EXPECT_TRUE(server->process->WaitForOutput(
            "[Quorvane][warning] Plain (127.0.0.1:" + std::to_string(plain.Port()) +
                ") has no Quorvane that takes quorvane.announce",
            1, 10s));
    }

    // A player asks on Alpha; only Alpha's own event, which was warned of, is named.
    alpha.Send("chat Ana /event");
    const auto answer = alpha.process->WaitForLine(
        std::regex(R"(\[GameServer\]\[info\] Server message to Ana: (.*))"), 30s);
    ASSERT_TRUE(answer) << alpha.process->Output();
    // The time left is the wall clock's, which the time scale of 60 does not speed up.
    EXPECT_TRUE(std::regex_match((*answer)[1],
                                 std::regex("M\u00e9t\u00e9ore at Lat -?[0-9.]+, Lon -?[0-9.]+ in "
                                            "(1 d|23 h [0-9]+ min)")))
        << (*answer)[1];
    // Any other line is chat, once a second has passed since the player's last.
    std::this_thread::sleep_for(1100ms);
    alpha.Send("chat Ana hello \u00e9");
    EXPECT_TRUE(alpha.process->WaitForOutput("Players see in the chat: Ana: hello \u00e9", 1, 10s));

    for (Server* server : {&alpha, &bravo}) {
        EXPECT_EQ(server->process->Stop(), 0) << server->process->Output();
    }
}

std::size_t Count(const std::string& output, const std::string& text) {
    std::size_t count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) {
        ++count;
    }
    return count;
}

// Events that end, and an event only at its fixed time, from outside. Alpha's Double XP lasts
// 10 game minutes: while it runs nothing else starts there and /event and quorvane.status give
// its time left; at its end its EndCommand runs on Alpha and both screens show the end; the
// chain's next wait counts from there. Bravo's parade has Weight 0: the chain draws only the
// storm, and the parade starts at its At time, runs, and is kept in schedule.json; Bravo goes
// down, the end passes, and at the next start its EndCommand runs.
TEST(PlayersClusterTest, EventsEndAndAWeightZeroEventStartsOnlyAtItsTime) {
    Server alpha("Alpha", "Alpha \u00cele");
    Server bravo("Bravo", "Bravo");
    json config = {{"DiscordWebhook", ""},
                   {"DiscordWebhookColor", "1"},
                   {"DiscordBroadcastHeader", "h"},
                   {"DiscordBroadcastMessage", "m"},
                   {"BroadcastStartEventMessage", "{Eventlabel} started"},
                   {"BroadcastEndEventMessage", "{Eventlabel} on {Serverlabel} is over"},
                   {"ServerEventsCommand", "StartWorldEvent"},
                   {"RconClient", "builtin"},
                   {"PlayerAnnouncements", "quorvane"},
                   {"PlayerCommand", "/event"},
                   {"TimeZone", "UTC"},
                   {"Alpha", alpha.Section()},
                   {"Bravo", bravo.Section()}};
    for (auto* section : {&config["Alpha"], &config["Bravo"]}) {
        (*section)["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 1},
                                                  {"MaximumTimeToWait", 1}};
        (*section)["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 1},
                                           {"MaximumTimeToNextEvent", 1}};
    }
    config["Alpha"]["RandomEvents"] = {{"xp",
                                        {{"Eventlabel", "Double XP"},
                                         {"RandomCCCs", {"1 2 3"}},
                                         {"DurationMinutes", 10},
                                         {"EndCommand", "ServerChat {Eventlabel} is off"}}}};
    // Its time 2 to 3 wall minutes ahead: 2 to 3 seconds at the time scale of 60.
    config["Bravo"]["RandomEvents"] = {
        {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"0 0 0"}}}},
        {"parade",
         {{"Eventlabel", "Parade"},
          {"RandomCCCs", {"5 5 5"}},
          {"Weight", 0},
          {"At", {testing_support::UtcClockIn(3)}},
          {"DurationMinutes", 1440},
          {"EndCommand", "ServerChat {Eventlabel} packs up"}}}};
    alpha.Start(config);
    bravo.Start(config);

    // Alpha: Double XP runs; asked now, it has most of its 10 minutes left.
    ASSERT_TRUE(alpha.process->WaitForOutput("World event starts: xp 1 2 3", 1, 60s))
        << alpha.process->Output();
    alpha.Send("chat Ana /event");
    const auto answer = alpha.process->WaitForLine(
        std::regex(R"(\[GameServer\]\[info\] Server message to Ana: (.*))"), 30s);
    ASSERT_TRUE(answer) << alpha.process->Output();
    // The time left is the wall clock's: the time scale does not speed it up.
    EXPECT_TRUE(std::regex_match((*answer)[1], std::regex("Double XP runs now, (9|10) min left")))
        << (*answer)[1];
    const auto status = testing_support::RunProcess(
        RCON_CLIENT_FILE,
        {"-H127.0.0.1", "-P" + std::to_string(alpha.port), "-ppw", "quorvane.status"},
        alpha.dir.Path());
    EXPECT_TRUE(std::regex_search(
        status.output, std::regex("Running event: xp \\(Double XP\\), ends [0-9TZ:-]+, (9|10) "
                                  "min left, then its EndCommand")))
        << status.output;
    // The end: its command on Alpha, the end on both screens; then, a minute on, the next.
    EXPECT_TRUE(alpha.process->WaitForOutput(
        "[GameServer][info] Players see in the chat: SERVER: Double XP is off", 1, 60s))
        << alpha.process->Output();
    for (const Server* server : {&alpha, &bravo}) {
        EXPECT_TRUE(server->process->WaitForOutput(
            "[GameServer][info] Players see on screen: Double XP on Alpha \u00cele is over", 1,
            30s))
            << server->key << ": " << server->process->Output();
    }
    ASSERT_TRUE(alpha.process->WaitForOutput("World event starts: xp 1 2 3", 2, 60s));
    const std::string out = alpha.process->Output();
    EXPECT_LT(out.find("Double XP is off"), out.rfind("World event starts: xp"));

    // Bravo: the storm by the chain until the parade's time; then only the parade, which runs.
    ASSERT_TRUE(bravo.process->WaitForOutput("World event starts: parade 5 5 5", 1, 200s))
        << bravo.process->Output();
    std::this_thread::sleep_for(3s);  // three chain turns: the chain waits for the end
    const std::string during = bravo.process->Output();
    EXPECT_GE(Count(during, "World event starts: storm"), 1u);
    EXPECT_EQ(Count(during, "World event starts: parade"), 1u);
    EXPECT_EQ(during.find("World event starts: storm", during.find("World event starts: parade")),
              std::string::npos);
    const auto schedule = bravo.dir.PluginDir() / "schedule.json";
    EXPECT_EQ(bravo.process->Stop(), 0);
    auto kept = json::parse(std::ifstream(schedule));
    ASSERT_EQ(kept["Bravo"]["running"].size(), 1u) << kept;
    EXPECT_EQ(kept["Bravo"]["running"][0]["endCommand"], "ServerChat Parade packs up");
    // The day passes while the server is down.
    kept["Bravo"]["running"][0]["ends"] = "2020-01-01T00:00:00Z";
    std::ofstream(schedule) << kept.dump();
    bravo.Start(config);
    EXPECT_TRUE(bravo.process->WaitForOutput(
        "[GameServer][info] Players see in the chat: SERVER: Parade packs up", 1, 60s))
        << bravo.process->Output();
    EXPECT_TRUE(alpha.process->WaitForOutput(
        "[GameServer][info] Players see on screen: Parade on Bravo is over", 1, 30s));
    const auto history = [&] {
        std::ifstream in(bravo.dir.PluginDir() / "events.jsonl");
        std::string line;
        std::string ended;
        while (std::getline(in, line)) {
            if (line.find(R"("outcome":"ended")") != std::string::npos) {
                ended = line;
            }
        }
        return ended;
    };
    ASSERT_TRUE(bravo.process->WaitForOutput("World event starts: storm", 1, 60s));
    const auto ended = json::parse(history());
    EXPECT_EQ(ended["trigger"], "load");
    EXPECT_EQ(ended["event"], "parade");
    EXPECT_EQ(ended["rcon"]["Bravo"], "delivered");

    for (Server* server : {&alpha, &bravo}) {
        EXPECT_EQ(server->process->Stop(), 0) << server->process->Output();
    }
}

}  // namespace
