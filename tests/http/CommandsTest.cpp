// Commands as the framework runs them: a plugin's RCON command is taken when the first
// blank-separated word is its name, letter case ignored, and each message it sends is a packet
// of its own with the id it gives (none when it sends none); removing a command removes the
// first of that name; plugins.load and plugins.unload answer with the framework's words.

#include <gtest/gtest.h>

#include <optional>

#include "API/ARK/Ark.h"
#include "GameCommands.h"
#include "GameMemory.h"
#include "GameStrings.h"
#include "GameThread.h"
#include "Host/PluginLoader.h"
#include "TestHost.h"

namespace {

using Messages = std::vector<std::pair<int, std::string>>;

// What the game sends back for one command: the plugin's messages (id, text), or none when no
// plugin took it.
std::optional<Messages> Answer(http_testing::TestHost& host, const std::string& command) {
    std::optional<Messages> sent;
    host.Game().Run([&] {
        auto answer = gameserver::RunRconCommand(command, 7);
        if (answer.sent) {
            sent.emplace();
            for (const auto& message : *answer.sent) {
                sent->emplace_back(message.id, message.body);
            }
        }
    });
    return sent;
}

class CommandsTest : public testing::Test {
  protected:
    void SetUp() override {
        gameserver::RegisterGameMemory();
        gameserver::RegisterGameStrings();
        gameserver::RegisterGameCommands();
        asahost::RegisterLoaderCommands();
        const auto folder = host_.Dir() / "ArkApi" / "Plugins" / "CommandOnLoad";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(COMMAND_TEST_MODULE_FILE, folder / "CommandOnLoad.so");
        host_.Game().Run([] { asahost::LoadPlugins(); });
    }
    void TearDown() override {
        host_.Game().Run([] { asahost::UnloadPlugins(); });
    }

    http_testing::TestHost host_;
};

TEST_F(CommandsTest, APluginsMessagesArePacketsOfTheirOwnUntilThePluginIsUnloaded) {
    struct Case {
        const char* command;
        std::optional<Messages> sent;
    };
    const Case cases[] = {
        {"test.echo hello there", Messages{{7, "echo: test.echo hello there"}}},
        {"TEST.Echo", Messages{{7, "echo: TEST.Echo"}}},
        {"  test.echo indented", Messages{{7, "echo:   test.echo indented"}}},
        {"test.twice", Messages{{7, "first: test.twice"}, {8, "second: test.twice"}}},
        {"test.silent", Messages{}},
        {"test.echoes", std::nullopt},
        {"say test.echo", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Answer(host_, c.command), c.sent) << c.command;
    }
    host_.Game().Run([] { asahost::UnloadPlugin("CommandOnLoad"); });
    EXPECT_EQ(Answer(host_, "test.echo hello"), std::nullopt);
}

TEST_F(CommandsTest, RemovingACommandRemovesTheFirstOfThatName) {
    auto& commands = AsaApi::GetCommands();
    commands.AddRconCommand(FString("test.echo"),
                            [](RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
                                FString reply("later");
                                connection->SendMessageW(packet->Id, 0, &reply);
                            });
    EXPECT_TRUE(commands.RemoveRconCommand(FString("TEST.ECHO")));
    EXPECT_EQ(Answer(host_, "test.echo"), (Messages{{7, "later"}}));
    EXPECT_TRUE(commands.RemoveRconCommand(FString("test.echo")));
    EXPECT_FALSE(commands.RemoveRconCommand(FString("test.echo")));
    EXPECT_EQ(Answer(host_, "test.echo"), std::nullopt);
}

TEST_F(CommandsTest, PluginsLoadAndUnloadAnswerAsTheFrameworkDoes) {
    struct Case {
        const char* command;
        const char* answer;
        std::vector<std::string> lines;
    };
    const std::string unloadFailed = "[AsaApi][warning] (API::ArkBaseApi::UnloadPlugin) ";
    const std::string loadFailed = "[AsaApi][warning] (API::ArkBaseApi::LoadPlugin) ";
    const Case cases[] = {
        {"plugins.unload CommandOnLoad",
         "Successfully unloaded plugin",
         {"[AsaApi][info] Removed 3 command(s) of CommandOnLoad.so",
          "[AsaApi][info] Unloaded plugin - CommandOnLoad"}},
        {"plugins.unload CommandOnLoad",
         "Failed to unload plugin - Plugin CommandOnLoad is not loaded",
         {unloadFailed + "Plugin CommandOnLoad is not loaded"}},
        {"plugins.load CommandOnLoad",
         "Successfully loaded plugin",
         {"[AsaApi][info] Loaded plugin - CommandOnLoad"}},
        {"PLUGINS.LOAD CommandOnLoad",
         "Failed to load plugin - Plugin CommandOnLoad was already loaded",
         {loadFailed + "Plugin CommandOnLoad was already loaded"}},
        {"plugins.load Nowhere",
         "Failed to load plugin - Plugin Nowhere does not exist",
         {loadFailed + "Plugin Nowhere does not exist"}},
        {"plugins.unload", "Plugin not found", {}},
        {"plugins.load", "Plugin not found", {}},
    };
    for (const auto& c : cases) {
        const auto before = host_.Lines().size();
        EXPECT_EQ(Answer(host_, c.command), (Messages{{7, c.answer}})) << c.command;
        const auto lines = host_.Lines();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before),
                                           lines.end()),
                  c.lines)
            << c.command;
    }
    // Loaded again by the command, the plugin's commands answer again.
    EXPECT_EQ(Answer(host_, "test.echo"), (Messages{{7, "echo: test.echo"}}));
}

}  // namespace
