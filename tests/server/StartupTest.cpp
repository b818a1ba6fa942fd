// Start-up and shutdown of the plugin inside the game server stand-in, each run its own
// process with its own command line.

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "LogLines.h"
#include "Process.h"
#include "ServerDir.h"

namespace {

using testing_support::LogLines;
using testing_support::LogLinesOf;
using testing_support::RunProcess;
using testing_support::ServerDir;

const char* kConfig = R"({
  "DiscordWebhook": "", "DiscordBroadcastMessage": "m", "MCRconPath": "rcon",
  "DiscordBroadcastHeader": "h", "DiscordWebhookColor": "1", "ServerEventsCommand": "cmd",
  "BroadcastStartEventMessage": "b",
  "Island": {
    "Serverlabel": "The Island",
    "RconSettings": {"RconIP": "127.0.0.1", "RconPort": 27020, "RconPassword": "pw"},
    "StartEventOnBootSettings": {"MinimumTimeToWait": 60, "MaximumTimeToWait": 60},
    "TimeBetweenEvents": {"MinimumTimeToNextEvent": 60, "MaximumTimeToNextEvent": 60}
  },
  "My Server": {"RconSettings": {"RconIP": "127.0.0.1", "RconPort": 27021, "RconPassword": "pw"}}
})";

testing_support::ProcessResult RunServer(const ServerDir& dir, std::vector<std::string> arguments) {
    arguments.push_back("--run-for=0");
    auto result = RunProcess(testing_support::GameServerProgram(), arguments, dir.Path());
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return result;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(StartupTest, LoadsInstallsTheHookAndTakesItOffAtUnload) {
    ServerDir dir;
    dir.WriteConfig(kConfig);
    const auto result = RunServer(dir, {"TheIsland_WP?listen", "-serverkey=Island"});
    EXPECT_EQ(LogLinesOf(result.output, "Quorvane"),
              (std::vector<std::string>{"[Quorvane][info] Server Key: Island",
                                        "[Quorvane][info] Server Key: Island",
                                        "[Quorvane][info] Server Label: The Island"}));
    const auto host = LogLinesOf(result.output, "AsaApi");
    EXPECT_TRUE(Contains(host, "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()"));
    EXPECT_TRUE(Contains(host, "[AsaApi][info] AShooterGameMode.BeginPlay() ran"));
    // The host takes the plugin's hooks off before it closes the library; the plugin's own
    // remove request comes after.
    EXPECT_TRUE(Contains(
        host, "[AsaApi][info] Hook of Quorvane.so removed from AShooterGameMode.BeginPlay()"));
    EXPECT_TRUE(
        Contains(host, "[AsaApi][info] DisableHook: no such hook on AShooterGameMode.BeginPlay()"));
    EXPECT_TRUE(
        Contains(LogLines(result.output), "[GameServer][info] FMemory outstanding allocations: 0"));
}

TEST(StartupTest, BrokenConfigLeavesThePluginInactiveButAttached) {
    struct Case {
        const char* what;
        std::string config;
        std::vector<std::string> pluginLines;
    };
    auto missingLabel = nlohmann::json::parse(kConfig);
    missingLabel["Island"].erase("Serverlabel");
    ServerDir probe;
    // After the library's message, one error line: the file, the JSON pointer of the value at
    // fault, and the reason.
    const std::string inactive = "[Quorvane][error] Quorvane is inactive: ";
    const Case cases[] = {
        {"required key missing",
         missingLabel.dump(),
         {"[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Key: Island",
          "[Quorvane][info] [json.exception.type_error.302] type must be string, but is null",
          inactive + "FILE /Island/Serverlabel: type must be string, but is null"}},
        {"Debug as 1",
         R"({"Debug": 1})",
         {"[Quorvane][info] [json.exception.type_error.302] type must be boolean, but is number",
          inactive + "FILE /Debug: type must be boolean, but is number"}},
        {"not JSON",
         "{ nope",
         {"[Quorvane][info] [json.exception.parse_error.101] parse error at line 1, column 4: "
          "syntax error while parsing object key - invalid literal; last read: '{ no'; expected "
          "string literal",
          inactive + "FILE: parse error at line 1, column 4: syntax error while parsing object "
                     "key - invalid literal; last read: '{ no'; expected string literal"}},
    };
    for (const auto& c : cases) {
        ServerDir dir;
        dir.WriteConfig(c.config);
        const auto result = RunServer(dir, {"-serverkey=Island"});
        auto expected = c.pluginLines;
        auto& last = expected.back();
        last.replace(last.find("FILE"), 4, (dir.PluginDir() / "config.json").string());
        EXPECT_EQ(LogLinesOf(result.output, "Quorvane"), expected) << c.what;
        const auto host = LogLinesOf(result.output, "AsaApi");
        EXPECT_FALSE(Contains(host, "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()"))
            << c.what;
        // The game still runs its own BeginPlay, and the remove request still comes.
        EXPECT_TRUE(Contains(host, "[AsaApi][info] AShooterGameMode.BeginPlay() ran")) << c.what;
        EXPECT_TRUE(Contains(host,
                             "[AsaApi][info] DisableHook: no such hook on "
                             "AShooterGameMode.BeginPlay()"))
            << c.what;
        EXPECT_TRUE(Contains(LogLines(result.output),
                             "[GameServer][info] FMemory outstanding allocations: 0"));
    }
}

TEST(StartupTest, MissingConfigIsReportedOnce) {
    ServerDir dir;
    const auto result = RunServer(dir, {"-serverkey=Island"});
    const auto file = (dir.PluginDir() / "config.json").string();
    EXPECT_EQ(LogLinesOf(result.output, "Quorvane"),
              (std::vector<std::string>{
                  "[Quorvane][info] Cannot open " + file,
                  "[Quorvane][error] Quorvane is inactive: " + file + ": cannot be opened"}));
}

TEST(StartupTest, ServerKeyComesFromTheProcessCommandLine) {
    struct Case {
        std::vector<std::string> arguments;
        std::string key;
    };
    const Case cases[] = {
        {{"-SERVERKEY=Island"}, "Island"},
        {{"-serverkey=Island", "-serverkey=Other"}, "Island"},
        {{"x-serverkey=Other", "-ServerKey=Island"}, "Island"},
        {{"-serverkey=", "-serverkey=Island"}, ""},
        {{"-serverkey=My Server"}, "My Server"},
        {{"-serverkey=\xC3\x8Ele"}, "?le"},
        {{"-serverkey=\xF0\x9F\x98\x80"}, "??"},
        {{"-serverkey=bad\xFFutf8"}, "bad?utf8"},
        {{}, ""},
    };
    ServerDir dir;
    dir.WriteConfig(kConfig);
    for (const auto& c : cases) {
        const auto result = RunServer(dir, c.arguments);
        const auto plugin = LogLinesOf(result.output, "Quorvane");
        ASSERT_GE(plugin.size(), 2u) << result.output;
        EXPECT_EQ(plugin[0], "[Quorvane][info] Server Key: " + c.key);
        EXPECT_EQ(plugin[1], "[Quorvane][info] Server Key: " + c.key);
    }
}

}  // namespace
