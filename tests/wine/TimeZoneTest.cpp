// TimeZone under Wine: the MinGW build has no zone database of the system's, as Windows Server
// 2019 has none for MSVC's library, so the DLL reads the zone files shipped beside it.

#include <gtest/gtest.h>

#include <algorithm>

#include "LogLines.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"

namespace {

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
         "[Quorvane][info] TimeZone: Europe/Berlin, from the zone files shipped in "},
        {true, "Etc/UTC", "[Quorvane][info] TimeZone: Etc/UTC, from the zone files shipped in "},
        {false, "UTC", "[Quorvane][info] TimeZone: UTC, from the plugin itself"},
        {false, "Etc/UTC", "[Quorvane][info] TimeZone: Etc/UTC, from the plugin itself"},
        {false, "Europe/Berlin", "[Quorvane][error] Quorvane is inactive: "},
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
    EXPECT_EQ(result.exitCode, 1) << result.output;  // a warning of the message's command
    EXPECT_NE(result.output.find("TimeZone America/New_York: from the zone files shipped in " +
                                 WindowsPath(dir.PluginDir() / "zoneinfo") + " (tzdata 20"),
              std::string::npos)
        << result.output;
}

}  // namespace
