// The plugin unloaded and loaded again by the framework's own commands, over RCON, and by its
// automatic reload of a new build dropped in beside the plugin, while events go out to a
// cluster with a server that never answers, through either client, and their Discord posts
// wait for a retry: every answer is the framework's, the chain starts again after each load,
// and the server lives. Under the sanitizer stages the same runs show that nothing leaks and
// nothing races. Also the same library loaded under a second name, and reloads and unloads
// in the middle of a timer pass.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "LogLines.h"
#include "Process.h"
#include "Receiver.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "SilentServer.h"

namespace {

using nlohmann::json;

std::size_t Count(const std::string& output, const std::string& text) {
    std::size_t count = 0;
    for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) {
        ++count;
    }
    return count;
}

// One event a second at the time scale of 60, to the own server and a silent one.
json Cluster(const std::string& client, int port, int silentPort, const std::string& webhook) {
    return {
        {"Debug", true},
        {"DiscordWebhook", webhook},
        {"DiscordBroadcastMessage", "m"},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "Start"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"RconClient", client},
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
           {{"RconIP", "127.0.0.1"}, {"RconPort", silentPort}, {"RconPassword", "pw"}}}}}};
}

// The game server with its RCON listener on `port`, at the time scale of 60.
std::unique_ptr<testing_support::BackgroundProcess> StartServer(
    const testing_support::ServerDir& dir, int port) {
    return std::make_unique<testing_support::BackgroundProcess>(
        testing_support::GameServerProgram(),
        std::vector<std::string>{
            "TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
            "-serverkey=Island", "--time-scale=60"},
        dir.Path());
}

// The answer to one RCON command, without its line ends.
std::string Send(const testing_support::ServerDir& dir, int port, const std::string& command) {
    const auto result = testing_support::RunProcess(
        RCON_CLIENT_FILE, {"-H127.0.0.1", "-P" + std::to_string(port), "-ppw", command}, dir.Path(),
        std::chrono::seconds(60));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::string answer = result.output;
    while (!answer.empty() && answer.back() == '\n') {
        answer.pop_back();
    }
    return answer;
}

const std::string kStarted = "[Quorvane][info] Starting event!";
const auto kTimeout = std::chrono::seconds(60);

class HotReloadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HotReloadTest, TenReloadsWhileEventsFlyToAServerThatNeverAnswers) {
    rcon_testing::SilentServer silent;
    // Every post is asked to come again in a minute: each reload finds retries waiting.
    webhook::Receiver discord;
    discord.Start();
    discord.SetBehaviour({webhook::Answer::RateLimited, 60, 0});
    const int port = rcon_testing::UnusedPort();
    testing_support::ServerDir dir;
    dir.WriteConfig(
        Cluster(GetParam(), port, silent.Port(), discord.BaseUrl() + "/api/webhooks/1/reload")
            .dump());
    auto serverProcess = StartServer(dir, port);
    auto& server = *serverProcess;
    const auto send = [&](const std::string& command) { return Send(dir, port, command); };
    const auto timeout = kTimeout;
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

// The framework's automatic reload: a new build dropped in as Quorvane.so.ArkApi replaces the
// plugin's library at the next look, each time, the world saved first.
TEST_P(HotReloadTest, ANewBuildDroppedInIsReloadedWhileEventsFly) {
    rcon_testing::SilentServer silent;
    webhook::Receiver discord;
    discord.Start();
    discord.SetBehaviour({webhook::Answer::RateLimited, 60, 0});
    const int port = rcon_testing::UnusedPort();
    testing_support::ServerDir dir;
    dir.WriteConfig(
        Cluster(GetParam(), port, silent.Port(), discord.BaseUrl() + "/api/webhooks/1/auto")
            .dump());
    dir.WriteFile("config.json", R"({"settings": {"AutomaticPluginReloading": true,
                                                  "AutomaticPluginReloadSeconds": 1}})");
    // A copy, as admins install it: the reload writes over the library.
    const auto library = dir.PluginDir() / "Quorvane.so";
    const auto build = std::filesystem::read_symlink(library);
    std::filesystem::remove(library);
    std::filesystem::copy_file(build, library);
    auto server = StartServer(dir, port);
    ASSERT_TRUE(server->WaitForOutput(kStarted, 1, kTimeout)) << server->Output();
    const auto update = dir.PluginDir() / "Quorvane.so.ArkApi";
    constexpr std::size_t kReloads = 4;
    for (std::size_t reload = 1; reload <= kReloads; ++reload) {
        // Whole or not at all, as an admin's upload should be.
        std::filesystem::copy_file(build, dir.PluginDir() / "upload.tmp");
        std::filesystem::rename(dir.PluginDir() / "upload.tmp", update);
        ASSERT_TRUE(
            server->WaitForOutput("[AsaApi][info] Reloaded plugin - Quorvane", reload, kTimeout))
            << server->Output();
        EXPECT_FALSE(std::filesystem::exists(update));
        const auto started = Count(server->Output(), kStarted);
        ASSERT_TRUE(server->WaitForOutput(kStarted, started + 1, kTimeout)) << server->Output();
    }
    const auto output = server->Output();
    EXPECT_EQ(Count(output, "[AsaApi][info] AShooterGameMode.SaveWorld() ran"), kReloads);
    EXPECT_EQ(Count(output, "[Quorvane][info] Server Ready"), kReloads + 1);
    EXPECT_GT(silent.Connections(), 0);
    EXPECT_EQ(server->Stop(), 0) << server->Output();
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

// plugins.load with the name in another letter case: the framework, which compares names as
// written, loads the same library again and calls Plugin_Init a second time. Quorvane runs
// once: one warning, nothing more started. The first of the two unloads stops it, since the
// framework takes off its commands and hook by library; the second frees the library, and a
// load after that starts it afresh.
TEST(LetterCaseTest, TheSameLibraryUnderASecondNameRunsOnce) {
    rcon_testing::SilentServer silent;
    const int port = rcon_testing::UnusedPort();
    testing_support::ServerDir dir;
    dir.WriteConfig(Cluster("builtin", port, silent.Port(), "").dump());
    auto server = StartServer(dir, port);
    ASSERT_TRUE(server->WaitForOutput(kStarted, 1, kTimeout)) << server->Output();
    const std::string ready = "[Quorvane][info] Server Ready";
    ASSERT_EQ(Count(server->Output(), ready), 1u);

    EXPECT_EQ(Send(dir, port, "plugins.load quorvane"), "Successfully loaded plugin");
    EXPECT_TRUE(
        server->WaitForOutput("[Quorvane][warning] Quorvane is running already", 1, kTimeout))
        << server->Output();
    EXPECT_EQ(Count(server->Output(), ready), 1u);

    EXPECT_EQ(Send(dir, port, "plugins.unload quorvane"), "Successfully unloaded plugin");
    EXPECT_TRUE(server->WaitForOutput("[Quorvane][warning] Quorvane stopped", 1, kTimeout))
        << server->Output();
    // Two game minutes, two events' time: nothing of it runs under the name still loaded.
    const auto started = Count(server->Output(), kStarted);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_EQ(Count(server->Output(), kStarted), started);
    // Its commands went with it: the game itself does not know the command.
    EXPECT_EQ(Send(dir, port, "quorvane.status").find("Quorvane"), std::string::npos);

    EXPECT_EQ(Send(dir, port, "plugins.unload Quorvane"), "Successfully unloaded plugin");
    EXPECT_EQ(Send(dir, port, "plugins.load Quorvane"), "Successfully loaded plugin");
    EXPECT_TRUE(server->WaitForOutput(ready, 2, kTimeout)) << server->Output();
    EXPECT_TRUE(server->WaitForOutput(kStarted, started + 1, kTimeout)) << server->Output();
    EXPECT_EQ(server->Stop(), 0) << server->Output();
}

// In the first timer pass the game's own timer, armed before the plugin's, reloads the plugin
// or unloads it under a second name; the plugin's timer due in the same pass still runs, as the
// framework runs a copy of its list, and must start nothing of the time it was armed for.
TEST(TimerPassTest, AReloadOrUnloadInThePassLeavesTheStaleTimerHarmless) {
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::size_t events;
    };
    const Case cases[] = {
        // The first event is due in the first pass.
        {"nothing else in the pass", {}, 1},
        // The reload draws the wait again, from the time between events: ten hours.
        {"quorvane.reload", {"quorvane.reload"}, 0},
        {"an unload under the second name",
         {"plugins.load quorvane", "plugins.unload quorvane"},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::ServerDir dir;
        auto config = Cluster("external", 27020, 27021, "");
        config["MCRconPath"] = RECORD_ARGS_FILE;
        config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                        {"MaximumTimeToWait", 0}};
        config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 600},
                                                 {"MaximumTimeToNextEvent", 600}};
        config.erase("Silent");
        dir.WriteConfig(config.dump());
        std::vector<std::string> arguments = {"-serverkey=Island", "--time-scale=60", "--run-for=1",
                                              "--unload-at-exit"};
        for (const auto& line : c.lines) {
            arguments.push_back("--timer-command=" + line);
        }
        const auto result = testing_support::RunProcess(testing_support::GameServerProgram(),
                                                        arguments, dir.Path());
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(Count(result.output, kStarted), c.events) << result.output;
        for (const auto& line : testing_support::LogLines(result.output)) {
            EXPECT_EQ(line.find("][error]"), std::string::npos) << line;
        }
    }
}

}  // namespace
