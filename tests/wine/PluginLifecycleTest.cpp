// The plugin DLL under Windows' own loader: DllMain's attach runs Load inside LoadLibrary,
// its detach runs Unload inside FreeLibrary, a broken configuration still answers TRUE, and
// the event timer belongs to the DLL's full Windows path.

#include <gtest/gtest.h>

#include "LogLines.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"

namespace {

// The framework's line for a plugin it loaded, with the version and description of
// PluginInfo.json.
const std::string kLoaded =
    "[AsaApi][info] Loaded plugin Quorvane V1 (Starts random world events on a cluster and "
    "announces them over RCON and Discord)";

using wine_testing::IslandConfig;
using wine_testing::WindowsPath;
using wine_testing::WindowsServerDir;
using Lines = std::vector<std::string>;

// The host's and the plugin's lines in order, without the host's "Loading <PluginInfo.json>".
Lines HostAndPluginLines(const std::string& output) {
    Lines kept;
    for (auto& line : testing_support::LogLines(output)) {
        if ((line.starts_with("[AsaApi]") && !line.starts_with("[AsaApi][info] Loading ")) ||
            line.starts_with("[Quorvane]")) {
            kept.push_back(line);
        }
    }
    return kept;
}

testing_support::ProcessResult RunOnce(const WindowsServerDir& dir) {
    return wine_testing::RunWindows(wine_testing::WindowsProgram("GameServer.exe"),
                                    {"-serverkey=Island", "--run-for=0"}, dir.Path());
}

TEST(PluginLifecycleTest, AttachRunsLoadAndDetachRunsUnload) {
    WindowsServerDir dir;
    auto config = IslandConfig("rcon.exe", 27020, 60);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 60},
                                                    {"MaximumTimeToWait", 60}};
    dir.WriteConfig(config);
    const auto result = RunOnce(dir);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    // The plugin's lines come before LoadLibrary returns, the hook's removal before
    // FreeLibrary does; the host drops the pending first timer on the way.
    EXPECT_EQ(
        HostAndPluginLines(result.output),
        (Lines{"[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Key: Island",
               "[Quorvane][info] Server Label: The Island",
               "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()", kLoaded,
               "[AsaApi][info] AShooterGameMode.BeginPlay() ran",
               "[AsaApi][info] Dropped timer " + WindowsPath(dir.PluginDir() / "Quorvane.dll") +
                   "_0 (3600 s)",
               "[AsaApi][info] Removed 6 command(s) of Quorvane.dll",
               "[AsaApi][info] Hook of Quorvane.dll removed from AShooterGameMode.BeginPlay()",
               "[AsaApi][info] DisableHook: no such hook on AShooterGameMode.BeginPlay()",
               "[AsaApi][info] Unloaded plugin Quorvane"}))
        << result.output;
}

// What nlohmann::json says of `text`, the library the DLL reads its configuration with.
std::string ParseError(const std::string& text) {
    try {
        return "(parsed: " + nlohmann::json::parse(text).dump() + ")";
    } catch (const nlohmann::json::exception& e) {
        return e.what();
    }
}

TEST(PluginLifecycleTest, BrokenConfigIsReportedAndThePluginStaysAttached) {
    struct Case {
        const char* what;
        std::string config;
        Lines pluginLines;
    };
    auto noLabel = IslandConfig("rcon.exe", 27020, 60);
    noLabel["Island"].erase("Serverlabel");
    auto portAsText = IslandConfig("rcon.exe", 27020, 60);
    portAsText["Island"]["RconSettings"]["RconPort"] = "27020";
    // After the library's message, the error line names the file (FILE here) and the value.
    const std::string inactive = "[Quorvane][error] Quorvane is inactive: FILE";
    const std::string parseError = ParseError("{ \"Debug\": tru }");
    const Case cases[] = {
        {"not JSON",
         "{ \"Debug\": tru }",
         {"[Quorvane][info] " + parseError,
          inactive + ": " + parseError.substr(parseError.find("] ") + 2)}},
        {"Debug as 1",
         R"({"Debug": 1})",
         {"[Quorvane][info] [json.exception.type_error.302] type must be boolean, but is number",
          inactive + " /Debug: type must be boolean, but is number"}},
        {"no Serverlabel",
         noLabel.dump(),
         {"[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Key: Island",
          "[Quorvane][info] [json.exception.type_error.302] type must be string, but is null",
          inactive + " /Island/Serverlabel: type must be string, but is null"}},
        {"RconPort as text",
         portAsText.dump(),
         {"[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Key: Island",
          "[Quorvane][info] Server Label: The Island",
          "[Quorvane][info] [json.exception.type_error.302] type must be number, but is string",
          inactive + " /Island/RconSettings/RconPort: type must be number, but is string"}},
    };
    for (const auto& c : cases) {
        WindowsServerDir dir;
        dir.WriteConfig(c.config);
        const auto result = RunOnce(dir);
        ASSERT_EQ(result.exitCode, 0) << c.what << "\n" << result.output;
        // DllMain answered TRUE: LoadLibrary succeeded; the commands it added go with it, and
        // FreeLibrary ran Unload, whose request to remove the never-set hook the host turns
        // down.
        Lines expected = c.pluginLines;
        auto& error = expected.back();
        error.replace(error.find("FILE"), 4, WindowsPath(dir.PluginDir() / "config.json"));
        expected.insert(expected.end(),
                        {kLoaded, "[AsaApi][info] AShooterGameMode.BeginPlay() ran",
                         "[AsaApi][info] Removed 6 command(s) of Quorvane.dll",
                         "[AsaApi][info] DisableHook: no such hook on AShooterGameMode.BeginPlay()",
                         "[AsaApi][info] Unloaded plugin Quorvane"});
        EXPECT_EQ(HostAndPluginLines(result.output), expected) << c.what << "\n" << result.output;
    }
}

// The timer that the chain re-arms after an event is the DLL's path + "_0" too, and its owner
// the DLL's path, or the host would not drop it when it unloads the plugin. No event is
// configured, so no RCON worker is involved.
TEST(PluginLifecycleTest, TimerIdentifierIsTheFullModulePath) {
    WindowsServerDir dir;
    auto config = IslandConfig("rcon.exe", 27020, 1000);
    config["Island"]["RandomEvents"] = nlohmann::json::object();
    dir.WriteConfig(config);
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=600"}, dir.Path());
    ASSERT_TRUE(server.WaitForOutput(
        "[Quorvane][warning] No events are configured for this server; none started"))
        << server.Output();
    const auto result = server.Stop();
    ASSERT_EQ(result.exitCode, 0) << result.output;
    Lines dropped;
    for (auto& line : testing_support::LogLinesOf(result.output, "AsaApi")) {
        if (line.starts_with("[AsaApi][info] Dropped timer ")) {
            dropped.push_back(line);
        }
    }
    EXPECT_EQ(dropped, (Lines{"[AsaApi][info] Dropped timer " +
                              WindowsPath(dir.PluginDir() / "Quorvane.dll") + "_0 (60000 s)"}))
        << result.output;
}

}  // namespace
