// Ten thousand events through the game server stand-in, eight servers each, one of which never
// answers: nothing may leak, race, linger as a zombie or leave a thread behind, and every
// client of the silent server is ended at its deadline. Run under ASan and TSan.

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include <nlohmann/json.hpp>

#include "LogLines.h"
#include "Process.h"
#include "ServerDir.h"

namespace {

long Number(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const auto& line : lines) {
        if (line.starts_with(prefix)) {
            return std::stol(line.substr(prefix.size()));
        }
    }
    ADD_FAILURE() << "no line starting with " << prefix;
    return -1;
}

TEST(SoakTest, TenThousandEventsToEightServersOneSilent) {
    const char* eventsText = std::getenv("QUORVANE_SOAK_EVENTS");
    const long events = eventsText != nullptr ? std::atol(eventsText) : 10000;
    // One event per timer tick; the time scale sets the ticks per second. Each event holds one
    // delivery thread for the silent server's deadline (a quarter second, ample for a client
    // start on a busy machine), so 40 a second keep ten of the sixteen busy.
    const double scale = 40;

    nlohmann::json targets = nlohmann::json::array();
    nlohmann::json config = {
        {"DiscordWebhook", ""},
        {"DiscordBroadcastMessage", "m"},
        {"MCRconPath", SOAK_CLIENT_FILE},
        {"DiscordBroadcastHeader", "h"},
        {"DiscordWebhookColor", "1"},
        {"ServerEventsCommand", "StartWorldEvent"},
        {"BroadcastStartEventMessage", "{Eventlabel} on {Serverlabel} at {Lat} {Lon}"},
        {"RconClientTimeoutSeconds", 0.25}};
    for (int i = 0; i < 8; ++i) {
        config["Server" + std::to_string(i)] = {
            {"Serverlabel", "Server " + std::to_string(i)},
            {"RconSettings",
             {{"RconIP", "127.0.0.1"}, {"RconPort", 27020 + i}, {"RconPassword", "pw"}}},
            {"StartEventOnBootSettings", {{"MinimumTimeToWait", 0}, {"MaximumTimeToWait", 0}}},
            {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 0}, {"MaximumTimeToNextEvent", 0}}},
            {"RandomEvents",
             {{"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3", "50000 -50000 0"}}}},
              {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"-1e5 2e5 7"}}}}}}};
    }
    testing_support::ServerDir dir;
    dir.WriteConfig(config.dump());
    // Server7's client hangs until the plugin ends it.
    setenv("QUORVANE_SOAK_SILENT", "-P27027", 1);

    // A busy machine skips ticks, so the server runs until that many events have started;
    // the time bound only ends a run that hangs.
    const double limit = static_cast<double>(events) / scale * 10 + 120;
    const auto result = testing_support::RunProcess(
        testing_support::GameServerProgram(),
        {"-serverkey=Server3", "--time-scale=" + std::to_string(scale),
         "--stop-after-timers=" + std::to_string(events), "--run-for=" + std::to_string(limit),
         "--report-resources", "--unload-at-exit"},
        dir.Path(), std::chrono::seconds(static_cast<long>(limit) + 600));
    unsetenv("QUORVANE_SOAK_SILENT");
    ASSERT_EQ(result.exitCode, 0) << result.output.substr(0, 20000);

    const auto lines = testing_support::LogLinesOf(result.output, "GameServer");
    EXPECT_GE(Number(lines, "[GameServer][info] Timer callbacks run: "), events);
    EXPECT_EQ(Number(lines, "[GameServer][info] FMemory outstanding allocations: "), 0);
    EXPECT_EQ(Number(lines, "[GameServer][info] Zombie children after the plugins: "), 0);
    EXPECT_EQ(Number(lines, "[GameServer][info] Threads after the plugins: "),
              Number(lines, "[GameServer][info] Threads before the plugins: "));
    // No error of any kind, and no warning but the silent server's: a failed client start,
    // a refused event or another server's failure would show here.
    const std::string everyTick =
        "[Quorvane][warning] MinimumTimeToNextEvent (0) is not above 0: events may start at "
        "every timer tick";
    const std::string silent =
        "[Quorvane][warning] RCON broadcast of event meteor to Server7 (127.0.0.1:27027) "
        "failed: ended after 0.25 s";
    long silentWarnings = 0;
    for (const auto& line : testing_support::LogLines(result.output)) {
        EXPECT_EQ(line.find("][error]"), std::string::npos) << line;
        if (line.find("][warning]") != std::string::npos) {
            const bool isSilent =
                line == silent || line == std::regex_replace(silent, std::regex("meteor"), "storm");
            EXPECT_TRUE(isSilent || line == everyTick) << line;
            silentWarnings += isSilent;
        }
    }
    // One for each event that got that far before the plugin unloaded.
    EXPECT_GE(silentWarnings, events * 9 / 10);
}

}  // namespace
