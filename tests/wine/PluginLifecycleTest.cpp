// The plugin DLL under Windows' own loader: DllMain's attach does nothing and Plugin_Init,
// called once LoadLibrary has returned, does the load; Plugin_Unload does the whole stop before
// FreeLibrary; a FreeLibrary without Plugin_Unload stops nothing under the loader lock; a
// process exit with the plugin loaded does nothing and takes its clients with it; a broken
// configuration still loads; the event timer goes with Plugin_Unload by the DLL's full
// Windows path; a new build dropped in as Quorvane.dll.ArkApi is reloaded by the framework; and
// the same DLL loaded under a name in another letter case runs once.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include "LogLines.h"
#include "ScriptedServer.h"
#include "TestListener.h"
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

// The server unloads the plugin before it exits, as plugins.unload would (a real server never
// does), so that the whole stop can be seen.
testing_support::ProcessResult RunOnce(const WindowsServerDir& dir) {
    return wine_testing::RunWindows(wine_testing::WindowsProgram("GameServer.exe"),
                                    {"-serverkey=Island", "--run-for=0", "--unload-at-exit"},
                                    dir.Path());
}

const std::string kFrameworkHook = "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()";
const std::string kFrameworkChatHook =
    "[AsaApi][info] Hook set on "
    "AShooterPlayerController.ServerSendChatMessage_Implementation(FString&,EChatSendMode::Type,"
    "int)";

TEST(PluginLifecycleTest, PluginInitLoadsAndPluginUnloadStopsEverything) {
    WindowsServerDir dir;
    auto config = IslandConfig("rcon.exe", 27020, 60);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 60},
                                                    {"MaximumTimeToWait", 60}};
    dir.WriteConfig(config);
    const auto result = RunOnce(dir);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    // The framework's own hooks first; Plugin_Unload takes off the plugin's hook, and its timer
    // and commands, so the host finds nothing of the plugin's left to drop.
    EXPECT_EQ(
        HostAndPluginLines(result.output),
        (Lines{kFrameworkHook, kFrameworkChatHook, "[Quorvane][info] Server Key: Island",
               "[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Label: The Island",
               "[AsaApi][info] Hook set on AShooterGameMode.BeginPlay()", kLoaded,
               "[AsaApi][info] AShooterGameMode.BeginPlay() ran",
               "[AsaApi][info] Hook removed from AShooterGameMode.BeginPlay()",
               "[AsaApi][info] Unloaded plugin Quorvane"}))
        << result.output;
}

// With the server up before the plugin loads, its first event's timer is armed by Plugin_Init;
// nothing of the load runs in DllMain, under the loader's lock: no framework call, no thread.
TEST(PluginLifecycleTest, NothingRunsUnderTheLoaderLock) {
    rcon_testing::TestListener own("pw");
    WindowsServerDir dir;
    auto config = IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1000);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    dir.WriteConfig(config);
    wine_testing::WineProcess server(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"-serverkey=Island", "--time-scale=600", "--ready-before-load", "--report-resources"},
        dir.Path());
    ASSERT_TRUE(own.Listener().WaitForCommands(1, std::chrono::seconds(60))) << server.Output();
    const auto result = server.Stop();
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto lines = testing_support::LogLines(result.output);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "[AsaApi][info] Threads started in the load notification of Quorvane: 0"),
              lines.end())
        << result.output;
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("in its load notification"), std::string::npos) << line;
    }
}

// A real server's exit: no Plugin_Unload, and DllMain's detach sees the process going away.
// With a client waiting for a server that never answers, the exit does not wait for it, and
// the client, which has no time-out of its own, goes with the server.
TEST(PluginLifecycleTest, AProcessExitWithEventsInFlightDoesNoUnloadWork) {
    std::promise<void> connected;
    rcon_testing::ScriptedServer silent([&](rcon_testing::ScriptPeer& peer) {
        connected.set_value();
        peer.WaitForClose();
    });
    WindowsServerDir dir;
    auto config =
        IslandConfig(WindowsPath(dir.InstallClient("patient-rcon.exe")), silent.Port(), 1000);
    config["RconClientTimeoutSeconds"] = 3600;
    dir.WriteConfig(config);
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=600", "--run-for=4"},
                                     dir.Path());
    ASSERT_EQ(connected.get_future().wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << server.Output();
    const auto result = server.Wait(std::chrono::seconds(60));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const auto lines = HostAndPluginLines(result.output);
    for (const std::string unloading :
         {"[AsaApi][info] Hook removed from AShooterGameMode.BeginPlay()",
          "[AsaApi][info] Unloaded plugin Quorvane"}) {
        EXPECT_EQ(std::find(lines.begin(), lines.end(), unloading), lines.end()) << unloading;
    }
    EXPECT_EQ(silent.Finish(), "");  // the client's end of the connection was closed
}

// A FreeLibrary without Plugin_Unload, as a loader that never calls it would: DllMain's
// detach, under the loader lock, waits for no thread and calls nothing of the framework's, for
// a running plugin (whose threads hold the DLL, so that the detach does not come) and an
// inactive one; the server goes on.
TEST(PluginLifecycleTest, AFreeLibraryWithoutPluginUnloadStopsNothingUnderTheLoaderLock) {
    rcon_testing::TestListener own("pw");
    for (const bool running : {true, false}) {
        SCOPED_TRACE(running ? "running" : "inactive");
        WindowsServerDir dir;
        auto config = IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1000);
        config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                        {"MaximumTimeToWait", 0}};
        if (!running) {
            config["Debug"] = 1;
        }
        dir.WriteConfig(config);
        const auto result = wine_testing::RunWindows(
            wine_testing::WindowsProgram("GameServer.exe"),
            {"-serverkey=Island", "--time-scale=600", "--ready-before-load", "--report-resources",
             "--run-for=4", "--free-at-exit"},
            dir.Path());
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const auto lines = testing_support::LogLines(result.output);
        for (const std::string expected :
             {"[AsaApi][info] Freed plugin Quorvane without Plugin_Unload",
              "[AsaApi][info] Threads ended in the unload notification of Quorvane: 0",
              "[GameServer][info] Exiting with the plugins' libraries freed"}) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), expected), lines.end())
                << expected << "\n"
                << result.output;
        }
        for (const auto& line : lines) {
            EXPECT_EQ(line.find("in its unload notification"), std::string::npos) << line;
        }
    }
    EXPECT_FALSE(own.Commands().empty());  // the running plugin's event went out
}

// The framework's automatic reload under Windows: each new build dropped in as
// Quorvane.dll.ArkApi replaces the DLL at the next look while events go out through the
// client, the world saved first, and the chain starts again.
class AutomaticReloadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(AutomaticReloadTest, ANewBuildDroppedInIsReloadedWhileEventsFly) {
    rcon_testing::TestListener own("pw");
    WindowsServerDir dir;
    auto config = IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1);
    config["RconClient"] = GetParam();
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    dir.WriteConfig(config);
    std::ofstream(dir.Path() / "config.json")
        << R"({"settings": {"AutomaticPluginReloading": true, "AutomaticPluginReloadSeconds": 1}})";
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=60"}, dir.Path());
    const auto timeout = std::chrono::seconds(60);
    ASSERT_TRUE(own.Listener().WaitForCommands(1, timeout)) << server.Output();
    const auto update = dir.PluginDir() / "Quorvane.dll.ArkApi";
    constexpr std::size_t kReloads = 3;
    for (std::size_t reload = 1; reload <= kReloads; ++reload) {
        std::filesystem::copy_file(wine_testing::WindowsPluginDir() / "Quorvane.dll",
                                   dir.PluginDir() / "upload.tmp");
        std::filesystem::rename(dir.PluginDir() / "upload.tmp", update);
        ASSERT_TRUE(
            server.WaitForOutput("[AsaApi][info] Reloaded plugin - Quorvane", reload, timeout))
            << server.Output();
        EXPECT_FALSE(std::filesystem::exists(update));
        ASSERT_TRUE(own.Listener().WaitForCommands(own.Commands().size() + 1, timeout))
            << server.Output();
    }
    const auto result = server.Stop();
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto lines = testing_support::LogLines(result.output);
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "[AsaApi][info] AShooterGameMode.SaveWorld() ran"),
        static_cast<long>(kReloads));
}

INSTANTIATE_TEST_SUITE_P(EachClient, AutomaticReloadTest, ::testing::Values("external", "builtin"));

// LoadLibrary finds the DLL under any letter case and hands back the module already loaded:
// plugins.load quorvane runs Plugin_Init of the running plugin again, which warns and starts
// nothing; unloading that name stops the plugin, and the server goes on with the DLL loaded
// under the other name until its exit.
TEST(PluginLifecycleTest, TheSameDllUnderASecondNameRunsOnce) {
    WindowsServerDir dir;
    auto config = IslandConfig("rcon.exe", 27020, 1000);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 60},
                                                    {"MaximumTimeToWait", 60}};
    dir.WriteConfig(config);
    const auto result = wine_testing::RunWindows(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"-serverkey=Island", "--run-for=1", "--timer-command=plugins.load quorvane",
         "--timer-command=plugins.unload quorvane", "--unload-at-exit"},
        dir.Path());
    ASSERT_EQ(result.exitCode, 0) << result.output;
    Lines warnings;
    for (const auto& line : testing_support::LogLinesOf(result.output, "Quorvane")) {
        if (line.starts_with("[Quorvane][warning]")) {
            warnings.push_back(line.substr(0, line.find(':')));
        }
    }
    EXPECT_EQ(warnings, (Lines{"[Quorvane][warning] Quorvane is running already",
                               "[Quorvane][warning] Quorvane stopped"}))
        << result.output;
    const auto lines = HostAndPluginLines(result.output);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[Quorvane][info] Server Label: The Island"),
              1);
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
    auto zone = IslandConfig("rcon.exe", 27020, 60);
    zone["TimeZone"] = "Europe/Berlin";
    // Wine has no zone database; the plugin folder here has no shipped zoneinfo (ZONES).
    const std::string noZones =
        "\"Europe/Berlin\" cannot be looked up: the server has no time-zone database, and the "
        "zone files shipped with the plugin are not in ZONES";
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
        {"a time zone, with no zone files shipped",
         zone.dump(),
         {"[Quorvane][info] Server Key: Island", "[Quorvane][info] Server Key: Island",
          "[Quorvane][info] Server Label: The Island", "[Quorvane][info] " + noZones,
          inactive + " /TimeZone: " + noZones}},
    };
    for (const auto& c : cases) {
        WindowsServerDir dir;
        dir.WriteConfig(c.config);
        const auto result = RunOnce(dir);
        ASSERT_EQ(result.exitCode, 0) << c.what << "\n" << result.output;
        // DllMain answered TRUE: LoadLibrary succeeded; Plugin_Unload removes the commands it
        // added and asks to remove the never-set hook, which the host turns down.
        Lines expected = c.pluginLines;
        expected.insert(expected.begin(), {kFrameworkHook, kFrameworkChatHook});
        auto& error = expected.back();
        error.replace(error.find("FILE"), 4, WindowsPath(dir.PluginDir() / "config.json"));
        for (auto& line : expected) {
            if (const auto at = line.find("ZONES"); at != std::string::npos) {
                line.replace(at, 5, WindowsPath(dir.PluginDir() / "zoneinfo"));
            }
        }
        expected.insert(expected.end(),
                        {kLoaded, "[AsaApi][info] AShooterGameMode.BeginPlay() ran",
                         "[AsaApi][info] DisableHook: no such hook on AShooterGameMode.BeginPlay()",
                         "[AsaApi][info] Unloaded plugin Quorvane"});
        EXPECT_EQ(HostAndPluginLines(result.output), expected) << c.what << "\n" << result.output;
    }
}

// The timer that the chain re-arms after an event is the DLL's path + "_0", as the one armed
// at load: Plugin_Unload drops it by that identifier, and the host, which drops what a
// plugin leaves by its owner, finds none. No event is configured, so no RCON worker is
// involved.
TEST(PluginLifecycleTest, TheRearmedTimerGoesWithPluginUnload) {
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
    for (auto& line : testing_support::LogLinesOf(result.output, "AsaApi")) {
        EXPECT_FALSE(line.starts_with("[AsaApi][info] Dropped timer ")) << line;
    }
}

// schedule.json is replaced whole, over the file that is there (which a plain rename refuses
// on Windows), keeping another server's key; the next start resumes the time kept.
TEST(PluginLifecycleTest, TheKeptScheduleIsReplacedAndResumed) {
    WindowsServerDir dir;
    auto config = IslandConfig("rcon.exe", 27020, 60);
    config["KeepScheduleAcrossRestarts"] = true;
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 60},
                                                    {"MaximumTimeToWait", 60}};
    dir.WriteConfig(config);
    const auto first = RunOnce(dir);
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const auto file = dir.PluginDir() / "schedule.json";
    auto kept = nlohmann::json::parse(std::ifstream(file));
    const std::string next = kept["Island"]["next"];
    kept["Other"] = {{"next", "2030-01-01T00:00:00Z"}};
    std::ofstream(file) << kept.dump();  // on one line: the plugin writes it on several

    const auto second = RunOnce(dir);
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const auto lines = testing_support::LogLinesOf(second.output, "Quorvane");
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& line) {
                               return line.starts_with("[Quorvane][info] The kept next event at " +
                                                       next + " is resumed: in ");
                           }),
              lines.end())
        << second.output;
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, kept.dump(2) + "\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.PluginDir())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
}

}  // namespace
