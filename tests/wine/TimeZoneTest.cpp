// TimeZone under Wine: the MinGW build has no zone database of the system's, as Windows Server
// 2019 has none for MSVC's library, so the DLL reads the zone files shipped beside it.

#include <gtest/gtest.h>

#include <regex>

#include "BackgroundProcess.h"
#include "LogLines.h"
#include "ScriptedServer.h"
#include "TestListener.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "rcon/Client.h"

namespace {

using namespace std::chrono_literals;
using wine_testing::WindowsPath;

// Where a zone comes from, and a zone no database has: each server's first lines.
TEST(TimeZoneTest, TheDllTakesItsZonesFromTheShippedFiles) {
    struct Case {
        bool zonesInstalled;
        const char* zone;
        const char* logged;  // the start of the plugin's line that names the zone
    };
    const Case cases[] = {
        {true, "Europe/Berlin",
         "[Quorvane][info] TimeZone: Europe/Berlin, from the zone files "
         "shipped in ArkApi/Plugins/Quorvane"},
        {true, "Etc/UTC", "[Quorvane][info] TimeZone: Etc/UTC, from the zone files shipped in "},
        {false, "UTC", "[Quorvane][info] TimeZone: UTC, from the plugin itself"},
        {false, "Etc/UTC", "[Quorvane][info] TimeZone: Etc/UTC, from the plugin itself"},
        {false, "Europe/Berlin",
         "[Quorvane][error] Quorvane is inactive: ArkApi/Plugins/Quorvane/config.json /TimeZone: "
         "\"Europe/Berlin\" cannot be looked up: the server has no time-zone database, and the "
         "zone files shipped with the plugin are not in ArkApi/Plugins/Quorvane"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + (c.zonesInstalled ? ", shipped" : ", none shipped"));
        wine_testing::WindowsServerDir dir;
        if (c.zonesInstalled) {
            dir.InstallZones();
        }
        auto config = wine_testing::IslandConfig("rcon.exe", 27020, 60);
        config["Debug"] = true;
        config["TimeZone"] = c.zone;
        dir.WriteConfig(config);
        const auto result =
            wine_testing::RunWindows(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--run-for=0"}, dir.Path());
        EXPECT_EQ(result.exitCode, 0) << result.output;
        const auto lines = testing_support::LogLinesOf(result.output, "Quorvane");
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(c.logged);
        })) << result.output;
    }
}

// quorvane-config.exe reads the same zone files as the DLL beside the file it checks, and
// says so.
TEST(TimeZoneTest, CheckSaysWhichZoneFilesServed) {
    wine_testing::WindowsServerDir dir;
    dir.InstallZones();
    auto config = wine_testing::IslandConfig("rcon.exe", 27020, 60);
    config["TimeZone"] = "America/New_York";
    dir.WriteConfig(config);
    const auto result = wine_testing::RunWindows(
        wine_testing::WindowsProgram("quorvane-config.exe"),
        {"check", WindowsPath(dir.PluginDir() / "config.json")}, dir.Path());
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("TimeZone America/New_York: from the zone files shipped in " +
                                 WindowsPath(dir.PluginDir() / "zoneinfo") + " (tzdata 20"),
              std::string::npos)
        << result.output;
}

std::string Send(int port, const std::string& command) {
    rcon::Client client("127.0.0.1", port, 30s);
    client.Authenticate("pw");
    return client.Execute(command);
}

// On the days the clocks change, with the server's wall clock set to each (libfaketime under
// Wine), a fixed time in the hour the clocks skip comes as late as they skip, and one in the
// hour they show twice the first time; quorvane.status says when, in UTC, and the ActiveHours
// judge it by the clock of its start.
TEST(TimeZoneTest, FixedTimesOnTheDaysTheClocksChange) {
    const std::filesystem::path faketime = "/usr/bin/faketime";
    ASSERT_TRUE(std::filesystem::exists(faketime)) << "needs faketime (scripts/install-deps.sh)";
    struct Case {
        const char* now;  // UTC
        const char* starts;
        const char* clock;  // at the start, for the ActiveHours
    };
    const Case cases[] = {
        {"2026-03-29 00:50:00", "2026-03-29T01:30:00Z", "03:30"},  // 02:30 comes at 03:30 CEST
        {"2026-10-25 00:10:00", "2026-10-25T00:30:00Z", "02:30"},  // the first 02:30, CEST
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now);
        rcon_testing::TestListener own("pw");
        const int port = rcon_testing::UnusedPort();
        wine_testing::WindowsServerDir dir;
        dir.InstallZones();
        auto config = wine_testing::IslandConfig("rcon.exe", own.Port(), 1000);
        config["TimeZone"] = "Europe/Berlin";
        config["EventWarningMinutes"] = {5};
        // Outside them the event is skipped at its warning, with the clock it starts at.
        config["ActiveHours"] = "12:00-13:00";
        config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 1000},
                                                        {"MaximumTimeToWait", 1000}};
        config["Island"]["RandomEvents"]["meteor"]["At"] = {"02:30"};
        dir.WriteConfig(config);
        testing_support::BackgroundProcess server(
            "/usr/bin/env",
            {"TZ=UTC", faketime.string(), "-f", "@" + std::string(c.now),
             wine_testing::WineLoader().string(),
             wine_testing::WindowsProgram("GameServer.exe").string(),
             "TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
             "-serverkey=Island", "--time-scale=60"},
            dir.Path(), SIGINT);
        ASSERT_TRUE(server.WaitForOutput("Server is ready", 1, 120s)) << server.Output();
        const auto status = Send(port, "quorvane.status");
        EXPECT_NE(status.find("starts " + std::string(c.starts) + ", a fixed time"),
                  std::string::npos)
            << status;
        EXPECT_TRUE(server.WaitForOutput(
            "Event skipped: " + std::string(c.clock) + " is outside ActiveHours 12:00-13:00", 1,
            120s))
            << server.Output();
        server.Stop();
    }
}

}  // namespace
