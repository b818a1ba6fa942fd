// The stand-in's listener against an RCON client that no one here wrote: the npm package
// rcon-client, driven by tests/node/rcon-peer.js (scripts/install-node-deps.sh installs it).

#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "Process.h"
#include "RconConnection.h"
#include "TestListener.h"

namespace {

using rcon_testing::TestListener;

// The peer's one JSON line.
nlohmann::json RunPeer(int port, const std::string& password,
                       const std::vector<std::string>& commands) {
    const std::filesystem::path script = NODE_PEER_SCRIPT;
    if (std::string(NODE_PROGRAM).empty() ||
        !std::filesystem::exists(script.parent_path() / "node_modules" / "rcon-client")) {
        ADD_FAILURE() << "needs Node.js and tests/node/node_modules: run "
                         "scripts/install-deps.sh and scripts/install-node-deps.sh";
        return nullptr;
    }
    std::vector<std::string> arguments{script.string(), std::to_string(port), password};
    arguments.insert(arguments.end(), commands.begin(), commands.end());
    const auto result = testing_support::RunProcess(NODE_PROGRAM, arguments, ".");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    try {
        return nlohmann::json::parse(result.output);
    } catch (const std::exception&) {
        ADD_FAILURE() << "not one JSON line: " << result.output;
        return nullptr;
    }
}

TEST(NodePeerTest, LogsInAndGetsEachReply) {
    TestListener listener;
    const std::vector<std::string> commands = {
        "ServerChat Meteor Shower started on \"The Island\"",
        "echo back\\slash &|<>^% 'single'",
        "two\nlines",
    };
    const auto answer = RunPeer(listener.Port(), "secret", commands);
    EXPECT_EQ(
        answer,
        (nlohmann::json{
            {"authenticated", true},
            {"replies",
             {gameserver::kNoResponse, "back\\slash &|<>^% 'single'", gameserver::kNoResponse}},
        }));
    std::vector<std::string> received;
    for (const auto& c : listener.Commands()) {
        received.push_back(c.command);
    }
    EXPECT_EQ(received, commands);
}

TEST(NodePeerTest, WrongPasswordIsRefused) {
    TestListener listener;
    EXPECT_EQ(RunPeer(listener.Port(), "not the secret", {"ServerChat never"}),
              (nlohmann::json{{"authenticated", false}, {"error", "Authentication failed"}}));
    EXPECT_TRUE(listener.Commands().empty());
}

}  // namespace
