// An event under Wine, end to end: GameServer.exe with the DLL starts the Windows RCON client
// with CreateProcessW, or sends through Winsock itself (RconClient "builtin"), and the commands
// reach the game stand-in's listener in GameServer.exe itself and a listener in this Linux
// process.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "LogLines.h"
#include "ScriptedServer.h"
#include "TestListener.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"

namespace {

using namespace std::chrono_literals;
using wine_testing::IslandConfig;
using wine_testing::WindowsPath;
using wine_testing::WindowsServerDir;
using Texts = std::vector<std::string>;

Texts RecordedCommands(const std::filesystem::path& record) {
    Texts commands;
    std::ifstream in(record);
    for (std::string line; std::getline(in, line);) {
        commands.push_back(nlohmann::json::parse(line).at("command"));
    }
    return commands;
}

Texts CommandsOf(const rcon_testing::TestListener& listener) {
    Texts commands;
    for (const auto& command : listener.Commands()) {
        commands.push_back(command.command);
    }
    return commands;
}

// The same with either client: the external one the file names, or the built-in one and no
// client program at all.
class BothClientsTest : public ::testing::TestWithParam<const char*> {
  protected:
    nlohmann::json Config(const WindowsServerDir& dir, int ownPort, int minutesBetween) const {
        auto config = IslandConfig(WindowsPath(dir.InstallClient()), ownPort, minutesBetween);
        if (std::string(GetParam()) == "builtin") {
            config["RconClient"] = "builtin";
            config.erase("MCRconPath");
        }
        return config;
    }
};
INSTANTIATE_TEST_SUITE_P(RconDeliveryTest, BothClientsTest,
                         ::testing::Values("external", "builtin"));

TEST_P(BothClientsTest, EventAndBroadcastArriveWithTheirExactTexts) {
    rcon_testing::TestListener scorched("secret");
    WindowsServerDir dir;
    const int ownPort = rcon_testing::UnusedPort();
    auto config = Config(dir, ownPort, 1000);
    config["BroadcastStartEventMessage"] = "\"{Eventlabel}\" on {Serverlabel}!\nGo \"now\"";
    config["Island"]["RandomEvents"]["meteor"]["Eventlabel"] = "Meteor \"Shower\"";
    // Named by a host name: Winsock's lookup, by either client.
    config["Scorched"] = {
        {"RconSettings",
         {{"RconIP", "localhost"}, {"RconPort", scorched.Port()}, {"RconPassword", "secret"}}}};
    dir.WriteConfig(config);

    wine_testing::WineProcess server(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"TheIsland_WP?listen?RCONPort=" + std::to_string(ownPort) + "?ServerAdminPassword=pw",
         "-serverkey=Island", "--time-scale=600", "--rcon-record=record.jsonl"},
        dir.Path());
    // The broadcasts go out side by side: wait for both.
    ASSERT_TRUE(scorched.Listener().WaitForCommands(1, 60s)) << server.Output();
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (RecordedCommands(dir.Path() / "record.jsonl").size() < 2 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    const auto result = server.Stop();
    EXPECT_EQ(result.exitCode, 0) << result.output;

    // Every mark arrived as it was configured; the line feed went as the two characters \n.
    const std::string broadcast = R"("Meteor "Shower"" on The Island!\nGo "now")";
    EXPECT_EQ(RecordedCommands(dir.Path() / "record.jsonl"),
              (Texts{"StartWorldEvent meteor 1000 -2000 350", broadcast}))
        << result.output;
    EXPECT_EQ(CommandsOf(scorched), Texts{broadcast});
}

// Every client start fails at once; the chain of events goes on, each event reports the one
// server it could not reach, and no file appears. The server stops on its own between the
// second event and the third (events come 2 s apart), so that the stop does not fall into a
// client start.
TEST(RconDeliveryTest, ClientPathNamingNoFileStopsNothing) {
    rcon_testing::TestListener own("pw");
    WindowsServerDir dir;
    auto config =
        IslandConfig(WindowsPath(dir.Path() / "no such folder" / "mcrcon.exe"), own.Port(), 20);
    config["Debug"] = true;
    dir.WriteConfig(config);
    auto filesAfter = dir.Files();
    filesAfter.push_back("ArkApi/Logs/ArkApi.log");
    // The events started, one line each.
    filesAfter.push_back("ArkApi/Plugins/Quorvane/events.jsonl");
    std::sort(filesAfter.begin(), filesAfter.end());

    const auto result = wine_testing::RunWindows(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"-serverkey=Island", "--time-scale=600", "--run-for=3.1", "--unload-at-exit"}, dir.Path());
    EXPECT_EQ(result.exitCode, 0) << result.output;

    const auto plugin = testing_support::LogLinesOf(result.output, "Quorvane");
    EXPECT_EQ(std::count(plugin.begin(), plugin.end(), "[Quorvane][info] Starting event!"), 2)
        << result.output;
    const std::string warning =
        "[Quorvane][warning] RCON event command and broadcast of event meteor to Island "
        "(127.0.0.1:" +
        std::to_string(own.Port()) +
        ") failed: client not found: " + WindowsPath(dir.Path() / "no such folder" / "mcrcon.exe");
    EXPECT_EQ(std::count(plugin.begin(), plugin.end(), warning), 2) << result.output;
    for (const auto& line : plugin) {
        EXPECT_TRUE(line.starts_with("[Quorvane][info] ") || line == warning) << line;
    }
    const auto host = testing_support::LogLinesOf(result.output, "AsaApi");
    ASSERT_FALSE(host.empty()) << result.output;
    EXPECT_EQ(host.back(), "[AsaApi][info] Unloaded plugin Quorvane") << result.output;
    EXPECT_TRUE(own.Commands().empty());
    EXPECT_EQ(dir.Files(), filesAfter);
}

// Whether a process of this test's external client runs: Wine gives a Windows program's process
// its command line, which names the client by its path in the test's own folder.
bool ClientRuns(const WindowsServerDir& dir) {
    const std::string folder = dir.Path().filename().string();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        const std::string line((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        if (line.find(folder) != std::string::npos &&
            line.find("quorvane-rcon.exe") != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Stopping while a client waits for its server: Plugin_Unload ends the client (the external
// one's process, the built-in one's wait on its socket) and waits for the delivery's threads
// before FreeLibrary (each of them keeps the plugin loaded while it runs, so nothing waits
// under the loader lock), and the server shuts down cleanly. The built-in client's connection
// is closed with it. The external one's process is gone; its socket is Wine's to close, and in
// some runs (one in 30 to one in 500 here) wineserver held it open after the process had gone.
// A client left running until its own deadline would also show as that delivery's warning.
TEST_P(BothClientsTest, StoppingWhileAClientWaitsEndsIt) {
    const bool external = std::string(GetParam()) == "external";
    std::promise<void> connected;
    // Takes the client's connection and never answers it.
    rcon_testing::ScriptedServer silent([&](rcon_testing::ScriptPeer& peer) {
        connected.set_value();
        peer.WaitForClose();
    });
    WindowsServerDir dir;
    dir.WriteConfig(Config(dir, silent.Port(), 1000));
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=600", "--unload-at-exit"},
                                     dir.Path());
    ASSERT_EQ(connected.get_future().wait_for(60s), std::future_status::ready) << server.Output();
    if (external) {
        EXPECT_TRUE(ClientRuns(dir)) << "the waiting client is not found among the processes";
    }
    const auto result = server.Stop();
    EXPECT_EQ(result.exitCode, 0) << result.output;
    if (external) {
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (ClientRuns(dir) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        EXPECT_FALSE(ClientRuns(dir)) << result.output;
    } else {
        EXPECT_EQ(silent.Finish(), "") << result.output;  // the client's end was closed
    }
    const auto lines = testing_support::LogLines(result.output);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[AsaApi][info] Unloaded plugin Quorvane"),
              lines.end())
        << result.output;
    for (const auto& line : testing_support::LogLinesOf(result.output, "Quorvane")) {
        EXPECT_TRUE(line.starts_with("[Quorvane][info] ")) << line;
    }
}

}  // namespace
