// quorvane.status, .next and .reload under Wine: GameServer.exe with the DLL answers them over
// RCON, from a client on this side.

#include <gtest/gtest.h>

#include <thread>

#include "ScriptedServer.h"
#include "TestListener.h"
#include "WallClock.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"
#include "rcon/Client.h"

namespace {

using namespace std::chrono_literals;
using wine_testing::WindowsPath;

std::string Send(int port, const std::string& command) {
    rcon::Client client("127.0.0.1", port, 30s);
    client.Authenticate("pw");
    return client.Execute(command);
}

TEST(LiveControlTest, CommandsAnswerUnderWine) {
    rcon_testing::TestListener own("pw");
    const int port = rcon_testing::UnusedPort();
    wine_testing::WindowsServerDir dir;
    auto config = wine_testing::IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1000);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 1000},
                                                    {"MaximumTimeToWait", 1000}};
    dir.WriteConfig(config);
    wine_testing::WineProcess server(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
         "-serverkey=Island", "--time-scale=60"},
        dir.Path());
    ASSERT_TRUE(server.WaitForOutput("Server is ready")) << server.Output();

    const auto status = Send(port, "quorvane.status");
    EXPECT_TRUE(
        status.starts_with("Quorvane: active\nServer key: Island\nNext event: timer of "
                           "60000 s armed "))
        << status;
    EXPECT_EQ(Send(port, "quorvane.next meteor"), "Started event meteor (Meteor Shower)");
    ASSERT_TRUE(own.Listener().WaitForCommands(1, 60s)) << server.Output();
    EXPECT_EQ(own.Commands()[0].command, "StartWorldEvent meteor 1000 -2000 350");
    EXPECT_EQ(Send(port, "quorvane.next comet"), "Unknown event id comet; the events are: meteor");
    EXPECT_EQ(Send(port, "quorvane.reload"), "Reloaded\nNext event: timer of 60000 s");
    const auto result = server.Stop();
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// PlayerAnnouncements "quorvane" under Wine: the DLL sends each server quorvane.announce, its
// own server's Quorvane shows every letter on screen, and a server without Quorvane gets
// ServerChat in ASCII.
TEST(LiveControlTest, AnnouncementsKeepEveryLetterUnderWine) {
    rcon_testing::TestListener plain("pw");  // no plugin takes the command there
    const int port = rcon_testing::UnusedPort();
    wine_testing::WindowsServerDir dir;
    auto config = wine_testing::IslandConfig(WindowsPath(dir.InstallClient()), plain.Port(), 1000);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 1000},
                                                    {"MaximumTimeToWait", 1000}};
    config["Island"]["RandomEvents"]["meteor"]["Eventlabel"] = "M\u00e9t\u00e9ore";
    config["PlayerAnnouncements"] = "quorvane";
    config["Self"] = {
        {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}}};
    dir.WriteConfig(config);
    wine_testing::WineProcess server(
        wine_testing::WindowsProgram("GameServer.exe"),
        {"TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
         "-serverkey=Island", "--time-scale=60", "--players=1"},
        dir.Path());
    ASSERT_TRUE(server.WaitForOutput("Server is ready")) << server.Output();

    EXPECT_EQ(Send(port, "quorvane.announce %C3%89clipse%20%E6%B5%81%E6%98%9F"),
              "Quorvane: shown to 1 player(s)");
    EXPECT_TRUE(server.WaitForOutput("Players see on screen: \u00c9clipse \u6d41\u661f"))
        << server.Output();

    EXPECT_EQ(Send(port, "quorvane.next meteor"), "Started event meteor (M??t??ore)");
    EXPECT_TRUE(
        server.WaitForOutput("Players see on screen: M\u00e9t\u00e9ore started on The Island"))
        << server.Output();
    ASSERT_TRUE(plain.Listener().WaitForCommands(3, 60s)) << server.Output();
    std::vector<std::string> received;
    for (const auto& command : plain.Commands()) {
        received.push_back(command.command);
    }
    EXPECT_EQ(received, (std::vector<std::string>{
                            "StartWorldEvent meteor 1000 -2000 350",
                            "quorvane.announce M%C3%A9t%C3%A9ore%20started%20on%20The%20Island",
                            "ServerChat M??t??ore started on The Island"}));
    const auto result = server.Stop();
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// Events that end, and a Weight 0 event only at its fixed time, on two GameServer.exe with the
// DLL. Island's meteor lasts a day: while it runs nothing else starts there, quorvane.status
// gives its time left and quorvane.end ends it: its EndCommand on Island, the end on both
// screens. Second's parade has Weight 0: its chain draws only the storm, and the parade comes
// at its At time.
TEST(LiveControlTest, EventsEndAndWeightZeroWaitsForItsTimeUnderWine) {
    const int island = rcon_testing::UnusedPort();
    const int second = rcon_testing::UnusedPort();
    wine_testing::WindowsServerDir islandDir;
    wine_testing::WindowsServerDir secondDir;
    auto config = wine_testing::IslandConfig("", island, 1000);
    config.erase("MCRconPath");
    config["RconClient"] = "builtin";
    config["PlayerAnnouncements"] = "quorvane";
    config["TimeZone"] = "UTC";
    config["BroadcastEndEventMessage"] = "{Eventlabel} on {Serverlabel} is over";
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 1000},
                                                    {"MaximumTimeToWait", 1000}};
    auto& meteor = config["Island"]["RandomEvents"]["meteor"];
    meteor["DurationMinutes"] = 1440;
    meteor["EndCommand"] = "ServerChat {Eventlabel} is over";
    config["Second"] = {
        {"Serverlabel", "Second"},
        {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", second}, {"RconPassword", "pw"}}},
        {"StartEventOnBootSettings", {{"MinimumTimeToWait", 1}, {"MaximumTimeToWait", 1}}},
        {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 1}, {"MaximumTimeToNextEvent", 1}}},
        {"RandomEvents",
         {{"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"0 0 0"}}}},
          {"parade",
           {{"Eventlabel", "Parade"},
            {"RandomCCCs", {"5 5 5"}},
            {"Weight", 0},
            // 2 to 3 wall minutes ahead: as many seconds at the time scale of 60.
            {"At", {testing_support::UtcClockIn(3)}}}}}}};
    islandDir.WriteConfig(config);
    secondDir.WriteConfig(config);
    const auto start = [](int port, const char* key, const wine_testing::WindowsServerDir& dir) {
        return std::make_unique<wine_testing::WineProcess>(
            wine_testing::WindowsProgram("GameServer.exe"),
            std::vector<std::string>{
                "TheIsland_WP?listen?RCONPort=" + std::to_string(port) + "?ServerAdminPassword=pw",
                std::string("-serverkey=") + key, "--time-scale=60", "--players=1"},
            dir.Path());
    };
    auto islandServer = start(island, "Island", islandDir);
    auto secondServer = start(second, "Second", secondDir);
    ASSERT_TRUE(islandServer->WaitForOutput("Server is ready")) << islandServer->Output();
    ASSERT_TRUE(secondServer->WaitForOutput("Server is ready")) << secondServer->Output();

    EXPECT_EQ(Send(island, "quorvane.next meteor"), "Started event meteor (Meteor Shower)");
    EXPECT_TRUE(islandServer->WaitForOutput("World event starts: meteor 1000 -2000 350"))
        << islandServer->Output();
    const auto status = Send(island, "quorvane.status");
    EXPECT_NE(status.find("Running event: meteor (Meteor Shower), ends "), std::string::npos)
        << status;
    EXPECT_NE(status.find(", 1 d left, then its EndCommand"), std::string::npos) << status;
    EXPECT_TRUE(Send(island, "quorvane.next")
                    .starts_with("None started: event meteor (Meteor Shower) runs until "));
    EXPECT_EQ(Send(island, "quorvane.end comet"), "Event comet is not running; running: meteor");
    EXPECT_EQ(Send(island, "quorvane.end"), "Ended event meteor (Meteor Shower)");
    EXPECT_TRUE(
        islandServer->WaitForOutput("Players see in the chat: SERVER: Meteor Shower is over"))
        << islandServer->Output();
    for (auto* server : {islandServer.get(), secondServer.get()}) {
        EXPECT_TRUE(
            server->WaitForOutput("Players see on screen: Meteor Shower on The Island is over"))
            << server->Output();
    }
    EXPECT_EQ(Send(island, "quorvane.end"), "No event is running");

    // The parade once, at its time; the storm by the chain; never the parade by a draw.
    ASSERT_TRUE(secondServer->WaitForOutput("World event starts: parade 5 5 5"))
        << secondServer->Output();
    std::this_thread::sleep_for(3s);
    const auto output = secondServer->Output();
    const auto count = [&](const std::string& text) {
        std::size_t n = 0;
        for (auto at = output.find(text); at != std::string::npos; at = output.find(text, at + 1)) {
            ++n;
        }
        return n;
    };
    EXPECT_EQ(count("World event starts: parade"), 1u);
    EXPECT_GE(count("World event starts: storm"), 3u);
    for (auto* server : {islandServer.get(), secondServer.get()}) {
        const auto result = server->Stop();
        EXPECT_EQ(result.exitCode, 0) << result.output;
    }
}

}  // namespace
