// The quorvane-rcon executable against the stand-in's listener: replies, texts byte for
// byte, argument forms, and the failures that end before or at the login.

#include <gtest/gtest.h>

#include <algorithm>

#include "ClientRun.h"
#include "RconConnection.h"
#include "ScriptedServer.h"
#include "TestListener.h"

namespace {

using rcon_testing::PluginArguments;
using rcon_testing::RunClient;
using rcon_testing::TestListener;

const std::string kNoReply = std::string(gameserver::kNoResponse) + "\n";

std::vector<std::string> CommandsOf(const TestListener& listener) {
    std::vector<std::string> commands;
    for (const auto& c : listener.Commands()) {
        commands.push_back(c.command);
    }
    return commands;
}

TEST(ClientTest, PrintsEachReplyInOrder) {
    TestListener listener;
    const std::vector<std::string> commands = {"echo one", "ServerChat hi", "echo two\n", "echo "};
    const auto result = RunClient(PluginArguments(listener.Port(), "secret", commands));
    EXPECT_EQ(result.exitCode, 0);
    // A line break ends each reply that does not end with one.
    EXPECT_EQ(result.output, "one\n" + kNoReply + "two\n" + kNoReply);
    EXPECT_EQ(CommandsOf(listener), commands);
    const auto recorded = listener.Commands();
    EXPECT_TRUE(recorded[0].peer.starts_with("127.0.0.1:")) << recorded[0].peer;
    EXPECT_TRUE(std::all_of(recorded.begin(), recorded.end(),
                            [&](const auto& c) { return c.peer == recorded[0].peer; }));
}

TEST(ClientTest, SendsEveryTextByteForByte) {
    TestListener listener;
    const std::vector<std::string> texts = {
        "Meteor Shower started on \"The Island\"",
        "back\\slash \\\" and a last one\\",
        "two\nlines\r\nand a tab\t",
        "&|<>^%PATH% !x! $HOME `id` 'single' * ?",
        "  spaces around  ",
        std::string(rcon::kMaxBodySize, 'm'),  // the longest that fits
    };
    const auto result = RunClient(PluginArguments(listener.Port(), "secret", texts));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(CommandsOf(listener), texts);
    // The log quotes the command, so that a line break cannot split its line.
    const auto lines = listener.LogLines();
    const std::string peer = listener.Commands().at(0).peer;
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "[RCON][info] Command from " + peer + R"(: "two\nlines\r\nand a tab\t")"),
              lines.end());
}

TEST(ClientTest, TakesEveryArgumentForm) {
    TestListener listener;
    const std::string port = std::to_string(listener.Port());
    const std::vector<std::vector<std::string>> forms = {
        {"-H", "127.0.0.1", "-P", port, "-p", "secret", "separate"},
        {"-p", "secret", "-t", "2", "-P" + port, "-H", "localhost", "reordered"},
    };
    for (const auto& form : forms) {
        const auto result = RunClient(form);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.output, kNoReply);
    }
    EXPECT_EQ(CommandsOf(listener), (std::vector<std::string>{"separate", "reordered"}));
}

TEST(ClientTest, FailsWithOneLineAndItsOwnExitCode) {
    TestListener listener;
    const int port = listener.Port();
    const int closedPort = rcon_testing::UnusedPort();
    const std::string tooLong(rcon::kMaxBodySize + 1, 'x');
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {PluginArguments(port, "wrong", {"x"}), 4,
         "quorvane-rcon: authentication failed: the server refused the password\n"},
        {PluginArguments(closedPort, "secret", {"x"}), 3,
         "quorvane-rcon: cannot connect to 127.0.0.1:" + std::to_string(closedPort) +
             ": Connection refused\n"},
        // The plugin's bare -H and -p for an empty address or password.
        {{"-H", "-P" + std::to_string(port), "-psecret", "x"},
         2,
         "quorvane-rcon: no server address (-H)\n"},
        {{"-H127.0.0.1", "-P" + std::to_string(port), "-p", "Meteor Shower started"},
         2,
         "quorvane-rcon: no command to send (the last argument was read as the value of -p)\n"},
        // Refused before anything is sent, even when the earlier commands fit.
        {PluginArguments(port, "secret", {"fits", tooLong}), 7,
         "quorvane-rcon: command 2 is 4087 bytes; one packet holds at most 4086\n"},
        {PluginArguments(port, tooLong, {"x"}), 7,
         "quorvane-rcon: the password is 4087 bytes; one packet holds at most 4086\n"},
    };
    for (const auto& c : cases) {
        const auto result = RunClient(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.output;
        EXPECT_EQ(result.output, c.output);
    }
    EXPECT_TRUE(listener.Commands().empty());
    // Only the wrong password came as far as a login.
    const auto lines = listener.LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const auto& l) { return l.find("Login") != std::string::npos; }),
              1);
}

}  // namespace
