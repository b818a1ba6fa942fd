// A plugin's RCON command, as the framework runs it: taken when the first blank-separated word
// of the command is its name, letter case ignored, answered through the connection, and gone
// with the plugin.

#include <gtest/gtest.h>

#include "GameCommands.h"
#include "GameMemory.h"
#include "GameStrings.h"
#include "GameThread.h"
#include "Host/PluginLoader.h"
#include "TestHost.h"

namespace {

TEST(CommandsTest, APluginsRconCommandRunsByItsFirstWordUntilThePluginIsUnloaded) {
    http_testing::TestHost host;
    gameserver::RegisterGameMemory();
    gameserver::RegisterGameStrings();
    gameserver::RegisterGameCommands();
    const auto folder = host.Dir() / "ArkApi" / "Plugins" / "CommandOnLoad";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(COMMAND_TEST_MODULE_FILE, folder / "CommandOnLoad.so");
    host.Game().Run([] { asahost::LoadPlugins(); });

    struct Case {
        const char* command;
        const char* reply;  // empty: no plugin took it
    };
    const Case cases[] = {
        {"test.echo hello there", "echo: test.echo hello there"},
        {"TEST.Echo", "echo: TEST.Echo"},
        {"  test.echo indented", "echo:   test.echo indented"},
        {"test.echoes", ""},
        {"say test.echo", ""},
    };
    for (const auto& c : cases) {
        std::string reply;
        host.Game().Run([&] { reply = gameserver::RunRconCommand(c.command); });
        EXPECT_EQ(reply, c.reply) << c.command;
    }
    host.Game().Run([] { asahost::UnloadPlugins(); });
    std::string reply = "not run";
    host.Game().Run([&] { reply = gameserver::RunRconCommand("test.echo hello"); });
    EXPECT_EQ(reply, "");
}

}  // namespace
