// The server key as the DLL reads it on Windows: GetCommandLineW split by
// CommandLineToArgvW. Each case is an exact command line started through CreateProcessW.

#include <gtest/gtest.h>

#include "LogLines.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"

namespace {

TEST(ServerKeyTest, ComesFromTheWindowsCommandLine) {
    struct Case {
        std::string arguments;
        std::string key;
    };
    const Case cases[] = {
        {R"("-serverkey=My Server")", "My Server"},
        {R"(-serverkey="My Server")", "My Server"},
        {"-SERVERKEY=Island", "Island"},
        {"-serverkey=Island -serverkey=Other", "Island"},
        {"-serverkey= -serverkey=b", ""},
        {"x-serverkey=a", ""},
        {"x-serverkey=a -ServerKey=b", "b"},
        {R"("-serverkey=Say \"hi\"" -serverkey=Other)", R"(Say "hi")"},
        {"TheIsland_WP?listen\t-serverkey=Island", "Island"},
    };
    wine_testing::WindowsServerDir dir;
    dir.WriteConfig(wine_testing::IslandConfig("rcon.exe", 27020, 60));
    const std::string program =
        '"' + wine_testing::WindowsPath(wine_testing::WindowsProgram("GameServer.exe")) + '"';
    for (const auto& c : cases) {
        const std::string line = program + ' ' + c.arguments + " --run-for=0";
        const auto result = wine_testing::RunCommandLine(line, dir.Path());
        EXPECT_EQ(result.exitCode, 0) << line << "\n" << result.output;
        const auto plugin = testing_support::LogLinesOf(result.output, "Quorvane");
        ASSERT_FALSE(plugin.empty()) << line << "\n" << result.output;
        EXPECT_EQ(plugin[0], "[Quorvane][info] Server Key: " + c.key) << line;
    }
}

}  // namespace
