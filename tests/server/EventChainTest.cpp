// Event chains inside the game server stand-in: how many run, and what unloading leaves.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "ArgvRecord.h"
#include "LogLines.h"
#include "Process.h"
#include "ServerDir.h"

namespace {

using nlohmann::json;
using testing_support::LogLines;
using testing_support::ServerDir;

// First event at once, the next one a game hour later: each chain starts exactly one event
// while the server runs for a second at a time scale of 600.
json ChainConfig() {
    return {
        {"Debug", true},
        {"DiscordWebhook", ""},
        {"DiscordBroadcastMessage", "m"},
        {"MCRconPath", RECORD_ARGS_FILE},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "Start"},
        {"BroadcastStartEventMessage", "{Eventlabel} started"},
        {"Island",
         {{"Serverlabel", "The Island"},
          {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", 9}, {"RconPassword", "pw"}}},
          {"StartEventOnBootSettings", {{"MinimumTimeToWait", 0}, {"MaximumTimeToWait", 0}}},
          {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 60}, {"MaximumTimeToNextEvent", 60}}},
          {"RandomEvents", {{"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3"}}}}}}}}};
}

class EventChainTest : public ::testing::Test {
  protected:
    ~EventChainTest() override { unsetenv("QUORVANE_ARGV_HANG"); }

    // The server runs at 600 game seconds a second unless `arguments` say otherwise. It unloads
    // its plugins before it exits (which a real server never does, but plugins.unload does),
    // so that what unloading leaves can be seen.
    testing_support::ProcessResult Run(const json& config, std::vector<std::string> arguments,
                                       bool endsOnItsOwn = false) {
        dir_.WriteConfig(config.dump());
        arguments.insert(arguments.begin(),
                         {"-serverkey=Island", "--time-scale=600", "--unload-at-exit"});
        auto result = testing_support::RunProcess(testing_support::GameServerProgram(), arguments,
                                                  dir_.Path(), std::chrono::seconds(60));
        if (endsOnItsOwn) {
            EXPECT_NE(result.exitCode, 0) << result.output;
            return result;
        }
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(Count(result.output, "[GameServer][info] FMemory outstanding allocations: 0"), 1)
            << result.output;
        return result;
    }

    static long Count(const std::string& output, const std::string& line) {
        const auto lines = LogLines(output);
        return std::count(lines.begin(), lines.end(), line);
    }

    std::vector<testing_support::ClientStart> ClientsStarted() const { return record_.Starts(); }

    ServerDir dir_;
    testing_support::ArgvRecord record_{dir_.Path() / "argv.jsonl"};
};

TEST_F(EventChainTest, OneChainPerFirstScheduling) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        long chains;
    };
    const Case cases[] = {
        {"server becomes ready after load", {"--run-for=1"}, 1},
        {"BeginPlay runs twice", {"--run-for=1", "--begin-play-twice"}, 2},
        {"already ready at load, then BeginPlay", {"--run-for=1", "--ready-before-load"}, 2},
    };
    for (const auto& c : cases) {
        record_.Clear();
        const auto result = Run(ChainConfig(), c.arguments);
        EXPECT_EQ(Count(result.output, "[Quorvane][info] Server Ready"), c.chains) << c.what;
        EXPECT_EQ(Count(result.output, "[Quorvane][info] Starting event!"), c.chains) << c.what;
        // Each chain's next event is pending when the plugin unloads, and is dropped.
        EXPECT_EQ(Count(result.output, "[Quorvane][info] Time to next event: 60"), c.chains);
        // Own server first with the command, then the one listed server with the broadcast.
        EXPECT_EQ(ClientsStarted().size(), static_cast<std::size_t>(2 * c.chains)) << c.what;
    }
}

TEST_F(EventChainTest, BrokenConfigStartsNoChain) {
    json config = ChainConfig();
    config["Island"].erase("TimeBetweenEvents");
    const auto result = Run(config, {"--run-for=1", "--begin-play-twice", "--ready-before-load"});
    EXPECT_EQ(
        Count(result.output,
              "[Quorvane][info] [json.exception.type_error.302] type must be number, but is null"),
        1);
    EXPECT_EQ(Count(result.output, "[Quorvane][info] Server Ready"), 0);
    EXPECT_TRUE(ClientsStarted().empty());
}

TEST_F(EventChainTest, UnloadingEndsHangingClientsAndLeavesNoProcess) {
    setenv("QUORVANE_ARGV_HANG", "1", 1);
    json config = ChainConfig();
    config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 0},
                                             {"MaximumTimeToNextEvent", 0}};
    // An event every tick, each worker stuck in its first client.
    const auto result = Run(config, {"--run-for=1"});
    const auto started = ClientsStarted();
    ASSERT_GE(started.size(), 5u) << result.output;
    for (const auto& client : started) {
        const pid_t pid = client.pid;
        EXPECT_TRUE(kill(pid, 0) != 0 && errno == ESRCH) << "client " << pid << " still exists";
        // Only the own server's line ever started: each worker hung in its first client.
        EXPECT_EQ(client.arguments.at(3), "Start meteor 1 2 3");
    }
    EXPECT_EQ(Count(result.output, "[AsaApi][info] Unloaded plugin Quorvane"), 1);
}

// The framework forgets a timer armed during its pass with a delay below zero: negative minutes
// between events must not end the chain.
TEST_F(EventChainTest, MinutesBelowZeroBetweenEventsKeepTheChainGoing) {
    json config = ChainConfig();
    config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", -5},
                                             {"MaximumTimeToNextEvent", -1}};
    const auto result = Run(config, {"--run-for=1", "--time-scale=10"});
    EXPECT_GE(Count(result.output, "[Quorvane][info] Starting event!"), 3) << result.output;
}

// The framework ends the server for a game name it does not know: always for a field, and for
// a function unless its setting HooksDoNotThrow makes that lookup null. The plugin asks only
// for names the game has; when a function is missing all the same, the event still starts.
TEST_F(EventChainTest, AGameNameTheServerLacks) {
    struct Case {
        const char* missing;
        bool hooksDoNotThrow;
        bool ends;
    };
    const Case cases[] = {
        {"UWorld.GetWorldSettings(bool,bool)", false, true},
        {"UWorld.GetWorldSettings(bool,bool)", true, false},
        {"FMapData.OriginMin", true, true},
    };
    json config = ChainConfig();
    config["Debug"] = false;
    config["BroadcastStartEventMessage"] = "{Eventlabel} at {Lat} / {Lon}";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.missing) + (c.hooksDoNotThrow ? " with" : " without") +
                     " HooksDoNotThrow");
        record_.Clear();
        dir_.WriteFile("config.json",
                       json{{"settings", {{"HooksDoNotThrow", c.hooksDoNotThrow}}}}.dump());
        const auto result = Run(
            config,
            {"--run-for=1", std::string("--missing-name=") + c.missing, "--unknown-name-wait=0.1"},
            c.ends);
        EXPECT_EQ(Count(result.output, std::string("[AsaApi][critical] Failed to get the offset "
                                                   "of '") +
                                           c.missing + "'."),
                  1)
            << result.output;
        if (c.ends) {
            EXPECT_EQ(Count(result.output, "[GameServer][info] Shutting down"), 0);
            continue;
        }
        EXPECT_EQ(Count(result.output, std::string("[Quorvane][warning] Map position unknown: the "
                                                   "game lacks ") +
                                           c.missing + "; Lat and Lon are 0"),
                  1);
        const auto started = ClientsStarted();
        ASSERT_EQ(started.size(), 2u) << result.output;
        EXPECT_EQ(started[1].arguments.at(3), "Meteor at 0.000000 / 0.000000");
    }
}

}  // namespace
