// Start-up and shutdown of the plugin inside the game server stand-in, each run its own
// process with its own command line.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include <nlohmann/json.hpp>

#include "ArgvRecord.h"
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

// The server unloads its plugins before it exits, as plugins.unload would (a real server never
// does), so that the whole stop can be seen.
testing_support::ProcessResult RunServer(const ServerDir& dir, std::vector<std::string> arguments) {
    arguments.push_back("--run-for=0");
    arguments.push_back("--unload-at-exit");
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
    // The framework's own and the plugin's.
    EXPECT_EQ(std::count(host.begin(), host.end(),
                         "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()"),
              2);
    EXPECT_TRUE(Contains(host, "[AsaApi][info] AShooterGameMode.BeginPlay() ran"));
    // Plugin_Unload takes the hook off itself, so the host finds none of the plugin's left
    // when it closes the library.
    EXPECT_TRUE(Contains(host, "[AsaApi][info] Hook removed from AShooterGameMode.BeginPlay()"));
    EXPECT_FALSE(Contains(
        host, "[AsaApi][info] Hook of Quorvane.so removed from AShooterGameMode.BeginPlay()"));
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
        // Only the framework's own hook.
        EXPECT_EQ(std::count(host.begin(), host.end(),
                             "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()"),
                  1)
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

// The framework loads the library, then calls Plugin_Init: nothing of the load may run in the
// load notification in between (on Windows, DllMain under the loader lock), neither a framework
// call nor a thread start. The first event comes at the first tick all the same.
TEST(StartupTest, NothingOfTheLoadRunsInTheLoadNotification) {
    ServerDir dir;
    auto config = nlohmann::json::parse(kConfig);
    config["MCRconPath"] = RECORD_ARGS_FILE;
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    config["Island"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "M"}, {"RandomCCCs", {"1 2 3"}}}}};
    dir.WriteConfig(config.dump());
    testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
    const auto result =
        testing_support::RunProcess(testing_support::GameServerProgram(),
                                    {"-serverkey=Island", "--ready-before-load",
                                     "--report-resources", "--run-for=1", "--time-scale=600"},
                                    dir.Path());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto host = LogLinesOf(result.output, "AsaApi");
    EXPECT_TRUE(Contains(host,
                         "[AsaApi][info] Threads started in the load notification of "
                         "Quorvane: 0"))
        << result.output;
    for (const auto& line : host) {
        EXPECT_EQ(line.find("in its load notification"), std::string::npos) << line;
    }
    EXPECT_FALSE(record.Starts().empty()) << result.output;  // the events did go out
}

// A library freed without Plugin_Unload: its detach notification (the library's destructors,
// under the loader's lock) joins no thread and calls nothing of the framework's, whether the
// plugin runs or is inactive, and the server goes on without it. A running plugin's threads
// hold its library, so the detach does not even come while they are there.
TEST(StartupTest, ALibraryFreedWithoutPluginUnloadStopsNothingInItsDetach) {
    auto active = nlohmann::json::parse(kConfig);
    active["MCRconPath"] = RECORD_ARGS_FILE;
    active["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    active["Island"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "M"}, {"RandomCCCs", {"1 2 3"}}}}};
    for (const auto& [what, config] :
         {std::pair<const char*, std::string>{"running", active.dump()},
          std::pair<const char*, std::string>{"inactive", R"({"Debug": 1})"}}) {
        SCOPED_TRACE(what);
        ServerDir dir;
        dir.WriteConfig(config);
        testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
        const auto result =
            RunProcess(testing_support::GameServerProgram(),
                       {"-serverkey=Island", "--ready-before-load", "--report-resources",
                        "--run-for=1", "--time-scale=600", "--free-at-exit"},
                       dir.Path());
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const auto host = LogLinesOf(result.output, "AsaApi");
        EXPECT_TRUE(Contains(host, "[AsaApi][info] Freed plugin Quorvane without Plugin_Unload"))
            << result.output;
        EXPECT_TRUE(Contains(host,
                             "[AsaApi][info] Threads ended in the unload notification of "
                             "Quorvane: 0"))
            << result.output;
        for (const auto& line : host) {
            EXPECT_EQ(line.find("in its unload notification"), std::string::npos) << line;
        }
        EXPECT_TRUE(Contains(LogLines(result.output),
                             "[GameServer][info] Exiting with the plugins' libraries freed"));
        EXPECT_EQ(record.Starts().empty(), what == std::string("inactive")) << result.output;
    }
}

// At a real server's exit the framework calls no Plugin_Unload and the other threads are gone:
// the detach does nothing, so the exit neither waits for clients in flight nor unloads. The
// clients go with the server all the same: none outlives it.
TEST(StartupTest, AServerExitDoesNoUnloadWorkAndTakesItsClientsWithIt) {
    ServerDir dir;
    auto config = nlohmann::json::parse(kConfig);
    config["MCRconPath"] = RECORD_ARGS_FILE;
    config["RconClientTimeoutSeconds"] = 3600;
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 0},
                                             {"MaximumTimeToNextEvent", 0}};
    config["Island"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "M"}, {"RandomCCCs", {"1 2 3"}}}}};
    dir.WriteConfig(config.dump());
    testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
    setenv("QUORVANE_ARGV_HANG", "1", 1);
    // Well within the clients' hour: a wait for them, or for the RCON threads, would show.
    const auto result =
        testing_support::RunProcess(testing_support::GameServerProgram(),
                                    {"-serverkey=Island", "--time-scale=600", "--run-for=1"},
                                    dir.Path(), std::chrono::seconds(60));
    unsetenv("QUORVANE_ARGV_HANG");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const auto lines = LogLines(result.output);
    EXPECT_TRUE(Contains(lines, "[GameServer][info] Exiting with the plugins loaded"));
    for (const std::string unloading :
         {"[AsaApi][info] Hook removed from AShooterGameMode.BeginPlay()",
          "[AsaApi][info] Unloaded plugin Quorvane"}) {
        EXPECT_FALSE(Contains(lines, unloading)) << result.output;
    }
    for (const auto& line : LogLinesOf(result.output, "Quorvane")) {
        EXPECT_FALSE(line.starts_with("[Quorvane][info] Unloading")) << line;
    }
    const auto started = record.Starts();
    EXPECT_FALSE(started.empty()) << result.output;
    for (const auto& client : started) {
        // The kernel ends it once its parent has gone; the test process reaps nothing of it.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (kill(client.pid, 0) == 0 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_NE(kill(client.pid, 0), 0) << "client " << client.pid << " outlived the server";
        kill(client.pid, SIGKILL);
    }
}

TEST(StartupTest, AHookTheFrameworkRefusesIsAnErrorAndTheStatusSaysSo) {
    ServerDir dir;
    dir.WriteConfig(kConfig);
    dir.WriteFile("config.json", R"({"settings": {"HooksDoNotThrow": true}})");
    const auto result = testing_support::RunProcess(
        "/bin/sh",
        {"-c",
         R"((sleep 1; printf 'quorvane.status\n') | "$0" -serverkey=Island --console --run-for=3 )"
         R"(--missing-name='AShooterGameMode.BeginPlay()')",
         testing_support::GameServerProgram().string()},
        dir.Path());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto lines = LogLines(result.output);
    for (const std::string line :
         {"[AsaApi][error] [Quorvane.so] AShooterGameMode.BeginPlay() does not exist",
          "[Quorvane][error] The hook on AShooterGameMode.BeginPlay() could not be set: no event "
          "chain starts when the game begins play",
          "[GameServer][info] Server message to Admin: Hook: refused on "
          "AShooterGameMode.BeginPlay(); no event chain starts when the game begins play"}) {
        EXPECT_TRUE(Contains(lines, line)) << line << "\n" << result.output;
    }
}

}  // namespace
