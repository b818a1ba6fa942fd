// TimeZone under Wine: the MinGW build has no zone database of the system's, as Windows Server
// 2019 has none for MSVC's library, so the DLL reads the zone files shipped beside it.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "LogLines.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"

namespace {

using wine_testing::WindowsPath;

// A Windows program's output, line by line, without the carriage returns.
std::vector<std::string> OutputLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

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

// A day the clocks change, as the Windows build reads the shipped files: the minute of the day
// that ActiveHours judges, and the next start of a fixed time the clocks skip or show twice.
TEST(TimeZoneTest, TheWindowsBuildKeepsADaylightSavingDay) {
    wine_testing::WindowsServerDir dir;
    dir.InstallZones();
    const auto run = [&](const char* zone, const char* at, std::vector<std::string> times) {
        std::vector<std::string> arguments = {WindowsPath(dir.PluginDir() / "zoneinfo"), zone, at};
        arguments.insert(arguments.end(), times.begin(), times.end());
        return wine_testing::RunWindows(wine_testing::WindowsProgram("zone-probe.exe"), arguments,
                                        dir.Path());
    };
    const std::string shipped =
        "the zone files shipped in " + WindowsPath(dir.PluginDir() / "zoneinfo");
    // Berlin springs forward at 01:00 UTC on 29 March 2026 and falls back at 01:00 UTC on
    // 25 October: 02:30 is skipped (it comes at 03:30), then shown twice (the first counts).
    const auto spring =
        run("Europe/Berlin", "02:30",
            {"2026-03-29T00:00:00Z", "2026-03-29T00:59:00Z", "2026-03-29T01:00:00Z",
             "2026-10-25T00:00:00Z", "2026-10-25T00:59:00Z", "2026-10-25T01:00:00Z"});
    ASSERT_EQ(spring.exitCode, 0) << spring.output;
    EXPECT_NE(spring.output.find(shipped), std::string::npos) << spring.output;
    const auto lines = OutputLines(spring.output);
    const std::vector<std::string> expected = {"2026-03-29T00:00:00Z 60 2026-03-29T01:30:00Z",
                                               "2026-03-29T00:59:00Z 119 2026-03-29T01:30:00Z",
                                               "2026-03-29T01:00:00Z 180 2026-03-29T01:30:00Z",
                                               "2026-10-25T00:00:00Z 120 2026-10-25T00:30:00Z",
                                               "2026-10-25T00:59:00Z 179 2026-10-26T01:30:00Z",
                                               "2026-10-25T01:00:00Z 120 2026-10-26T01:30:00Z"};
    ASSERT_GE(lines.size(), expected.size() + 1) << spring.output;
    EXPECT_EQ(
        std::vector<std::string>(lines.end() - static_cast<long>(expected.size()), lines.end()),
        expected);
    // Another zone, another day: New York's 09:00 on the Sunday of its change is 13:00 UTC.
    const auto newYork = run("America/New_York", "Sun 09:00", {"2026-03-07T00:00:00Z"});
    ASSERT_EQ(newYork.exitCode, 0) << newYork.output;
    EXPECT_NE(newYork.output.find("2026-03-07T00:00:00Z 1140 2026-03-08T13:00:00Z"),
              std::string::npos)
        << newYork.output;
}

}  // namespace
