// The plugin unloaded and loaded again by the framework's own commands, over RCON, while events
// go out to a cluster with a server that never answers, through either client, and their
// Discord posts wait for a retry: every answer is the framework's, the chain starts again after
// each load, and the server lives. Under the sanitizer stages the same run shows that nothing
// leaks and nothing races.

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "Process.h"
#include "Receiver.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "SilentServer.h"

namespace {

using nlohmann::json;

class HotReloadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HotReloadTest, TenReloadsWhileEventsFlyToAServerThatNeverAnswers) {
    rcon_testing::SilentServer silent;
    // Every post is asked to come again in a minute: each reload finds retries waiting.
    webhook::Receiver discord;
    discord.Start();
    discord.SetBehaviour({webhook::Answer::RateLimited, 60, 0});
    const int port = rcon_testing::UnusedPort();
    const json config = {
        {"Debug", true},
        {"DiscordWebhook", discord.BaseUrl() + "/api/webhooks/1/reload"},
        {"DiscordBroadcastMessage", "m"},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "Start"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"RconClient", GetParam()},
        {"MCRconPath", RCON_CLIENT_FILE},
        {"RconClientTimeoutSeconds", 3600},
        {"Island",
         {{"Serverlabel", "The Island"},
          {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}},
          {"StartEventOnBootSettings", {{"MinimumTimeToWait", 0}, {"MaximumTimeToWait", 0}}},
          {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 1}, {"MaximumTimeToNextEvent", 1}}},
          {"RandomEvents", {{"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3"}}}}}}}},
        {"Silent",
         {{"RconSettings",
           {{"RconIP", "127.0.0.1"}, {"RconPort", silent.Port()}, {"RconPassword", "pw"}}}}}};
    testing_support::ServerDir dir;
    dir.WriteConfig(config.dump());
    testing_support::BackgroundProcess server(
        testing_support::GameServerProgram(),
        {"TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
         "-serverkey=Island", "--time-scale=60"},
        dir.Path());
    const auto send = [&](const std::string& command) {
        const auto result = testing_support::RunProcess(
            RCON_CLIENT_FILE, {"-H127.0.0.1", "-P" + std::to_string(port), "-ppw", command},
            dir.Path(), std::chrono::seconds(60));
        EXPECT_EQ(result.exitCode, 0) << result.output;
        std::string answer = result.output;
        while (!answer.empty() && answer.back() == '\n') {
            answer.pop_back();
        }
        return answer;
    };
    const auto timeout = std::chrono::seconds(60);
    ASSERT_TRUE(server.WaitForOutput("[Quorvane][info] Starting event!", 1, timeout))
        << server.Output();
    for (std::size_t load = 2; load <= 11; ++load) {
        ASSERT_EQ(send("plugins.unload Quorvane"), "Successfully unloaded plugin")
            << server.Output();
        ASSERT_EQ(send("plugins.load Quorvane"), "Successfully loaded plugin") << server.Output();
        // The chain starts again from this load, and an event goes out.
        ASSERT_TRUE(server.WaitForOutput("[Quorvane][info] Server Ready", load, timeout))
            << server.Output();
        std::istringstream lines(server.Output());
        std::size_t started = 0;
        for (std::string line; std::getline(lines, line);) {
            started += line.find("[Quorvane][info] Starting event!") != std::string::npos;
        }
        ASSERT_TRUE(server.WaitForOutput("[Quorvane][info] Starting event!", started + 1, timeout))
            << server.Output();
    }
    EXPECT_GT(silent.Connections(), 0);
    EXPECT_FALSE(discord.Records().empty());
    EXPECT_EQ(server.Stop(), 0) << server.Output();
    discord.Stop();
}

INSTANTIATE_TEST_SUITE_P(EachClient, HotReloadTest, ::testing::Values("external", "builtin"));

// With DiscordVerifiedTransport the posts go through the plugin's own client, on its own
// thread. An unload while a post waits for an answer that never comes ends it at once rather
// than after the client's 30 s, nothing of it runs after the unload (the server lives and ends
// cleanly), and the plugin loaded again posts through its own client once more.
TEST(HotReloadVerifiedTest, AnUnloadEndsAVerifiedPostThatNeverGetsAnAnswer) {
    webhook::Receiver discord;
    discord.Start();
    discord.SetBehaviour({webhook::Answer::Stall, 1, 1});
    const int port = rcon_testing::UnusedPort();
    const json config = {
        {"DiscordWebhook", discord.BaseUrl() + "/api/webhooks/1/verified"},
        {"DiscordVerifiedTransport", true},
        {"DiscordBroadcastMessage", "m"},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "Start"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"RconClient", "builtin"},
        {"Island",
         {{"Serverlabel", "The Island"},
          {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}},
          {"StartEventOnBootSettings", {{"MinimumTimeToWait", 0}, {"MaximumTimeToWait", 0}}},
          {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 60}, {"MaximumTimeToNextEvent", 60}}},
          {"RandomEvents", {{"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3"}}}}}}}}};
    testing_support::ServerDir dir;
    dir.WriteConfig(config.dump());
    testing_support::BackgroundProcess server(
        testing_support::GameServerProgram(),
        {"TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
         "-serverkey=Island", "--time-scale=60"},
        dir.Path());
    const auto send = [&](const std::string& command) {
        const auto result = testing_support::RunProcess(
            RCON_CLIENT_FILE, {"-H127.0.0.1", "-P" + std::to_string(port), "-ppw", command},
            dir.Path(), std::chrono::seconds(60));
        EXPECT_EQ(result.exitCode, 0) << result.output;
        std::string answer = result.output;
        while (!answer.empty() && answer.back() == '\n') {
            answer.pop_back();
        }
        return answer;
    };
    const auto timeout = std::chrono::seconds(60);
    ASSERT_TRUE(discord.WaitForArrivals(1, timeout)) << server.Output();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(send("plugins.unload Quorvane"), "Successfully unloaded plugin") << server.Output();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    // The receiver holds the first post until it stops, and answers the next as Discord does.
    ASSERT_EQ(send("plugins.load Quorvane"), "Successfully loaded plugin") << server.Output();
    ASSERT_TRUE(discord.WaitForRecords(1, timeout)) << server.Output();
    EXPECT_EQ(discord.Records().back().status, 204);
    EXPECT_EQ(server.Stop(), 0) << server.Output();
    discord.Stop();
}

}  // namespace
