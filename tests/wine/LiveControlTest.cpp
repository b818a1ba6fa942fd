// quorvane.status, .next and .reload under Wine: GameServer.exe with the DLL answers them over
// RCON, from a client on this side.

#include <gtest/gtest.h>

#include <thread>

#include "ScriptedServer.h"
#include "TestListener.h"
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

}  // namespace
