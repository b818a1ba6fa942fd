// The game server stand-in as its own process, listening for RCON from its map URL's port
// and password, with its record file, reached by the quorvane-rcon executable.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include <nlohmann/json.hpp>

#include "ClientRun.h"
#include "LogLines.h"
#include "ScriptedServer.h"
#include "rcon/Error.h"
#include "rcon/Socket.h"

namespace {

using namespace std::chrono_literals;

struct ServerDir {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("quorvane-rcon-server-" + std::to_string(std::random_device()()));
    ServerDir() {
        std::filesystem::create_directories(path / "ArkApi" / "Plugins");
        std::filesystem::create_directories(path / "ArkApi" / "Logs");
    }
    ~ServerDir() { std::filesystem::remove_all(path); }
};

// True once something accepts connections on the port.
bool WaitUntilListening(int port, std::chrono::seconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        try {
            rcon::net::Connect("127.0.0.1", port, rcon::net::Clock::now() + 1s);
            return true;
        } catch (const rcon::Error&) {
            std::this_thread::sleep_for(50ms);
        }
    }
    return false;
}

TEST(GameServerRconTest, ListensRecordsAndStops) {
    ServerDir dir;
    const int port = rcon_testing::UnusedPort();
    // Long enough to start under a sanitizer on a busy machine; the test waits it out.
    auto server = std::async(std::launch::async, [&] {
        return testing_support::RunProcess(
            GAMESERVER_FILE,
            {"TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=s3cret",
             "-serverkey=Island", "--rcon-record=record.jsonl", "--run-for=4", "--unload-at-exit",
             "--players=1"},
            dir.path);
    });
    ASSERT_TRUE(WaitUntilListening(port, 10s));
    const std::vector<std::string> sent{"ServerChat \"Meteor\" & co",
                                        "Broadcast 100%",
                                        "StartWorldEvent meteor 1 -2 3",
                                        "Meteor incoming",
                                        "setplayers 0",
                                        "Broadcast to nobody"};
    const auto client =
        rcon_testing::RunClient(rcon_testing::PluginArguments(port, "s3cret", sent));
    EXPECT_EQ(client.exitCode, 0) << client.output;
    // Every command is answered, as the game answers one that prints nothing.
    const std::string none = "Server received, But no response!! \n \n";
    EXPECT_EQ(client.output, none + none + none + none + "0 player(s) online\n" + none);
    const auto result = server.get();
    EXPECT_EQ(result.exitCode, 0) << result.output;

    std::ifstream in(dir.path / "record.jsonl");
    std::vector<std::string> commands;
    std::string peer;
    for (std::string line; std::getline(in, line);) {
        const auto entry = nlohmann::json::parse(line);
        commands.push_back(entry.at("command"));
        peer = entry.at("peer");
    }
    EXPECT_EQ(commands, sent);

    // The listener is up before the plugins load (an event may come at the first timer
    // tick) and is gone before the host stops.
    const auto lines = testing_support::LogLines(result.output);
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    const auto loaded = at("[AsaApi][info] AShooterGameMode.BeginPlay() ran");
    const auto listening = at("[RCON][info] Listening on 127.0.0.1:" + std::to_string(port));
    const auto command = at("[RCON][info] Command from " + peer + R"(: "Broadcast 100%")");
    const auto down = at("[GameServer][info] FMemory outstanding allocations: 0");
    EXPECT_LT(listening, loaded) << result.output;
    EXPECT_LT(listening, command) << result.output;
    EXPECT_LT(command, down) << result.output;
    EXPECT_LT(down, static_cast<long>(lines.size())) << result.output;
    // What players would see of each: the framework makes an RCON Broadcast a chat line, and
    // drops it while nobody is online.
    const auto seen = at("[GameServer][info] Players see in the chat: SERVER: \"Meteor\" & co");
    const auto chatLine = at("[GameServer][info] Players see in the chat: 100%");
    const auto event = at("[GameServer][info] World event starts: meteor 1 -2 3");
    const auto unknown =
        at("[GameServer][info] Unknown command, no player sees it: Meteor incoming");
    EXPECT_LT(seen, chatLine) << result.output;
    EXPECT_LT(chatLine, event) << result.output;
    EXPECT_LT(event, unknown) << result.output;
    EXPECT_LT(unknown, down) << result.output;
    EXPECT_EQ(result.output.find("to nobody\n"), std::string::npos) << result.output;
}

}  // namespace
