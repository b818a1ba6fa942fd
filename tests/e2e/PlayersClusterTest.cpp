// What players see and ask, from outside: two game servers, each its own process with the
// plugin, announce to each other with PlayerAnnouncements "quorvane"; a third server without
// Quorvane (a bare RCON listener) gets the texts as ServerChat; a player on one of them asks
// /event in the chat (the rule that drops a line within a second of the last is shown in
// tests/plugin/AnnouncementTest.cpp, where the game's time is the test's).

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <thread>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "Process.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "TestListener.h"

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

}  // namespace
