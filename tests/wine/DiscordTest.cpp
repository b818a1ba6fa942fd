// Discord posts from the Windows build with DiscordVerifiedTransport: through WinHTTP, the
// production path, to the receiver in this Linux process. The post arrives as the framework's
// service would send it, unloading the plugin while a post waits for an answer that never
// comes ends the post at once, and a certificate that Windows does not trust stops the
// plugin's own client but not the framework's service.

#include <gtest/gtest.h>

#include <strings.h>

#include "Receiver.h"
#include "TestListener.h"
#include "TlsFront.h"
#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"

namespace {

using wine_testing::IslandConfig;
using wine_testing::WindowsPath;
using wine_testing::WindowsServerDir;

std::string Header(const webhook::Record& record, const char* name) {
    for (const auto& [header, value] : record.headers) {
        if (strcasecmp(header.c_str(), name) == 0) {
            return value;
        }
    }
    return "(none)";
}

TEST(DiscordTest, VerifiedPostsGoThroughWinHttpAndAnUnloadEndsAHeldOne) {
    webhook::Receiver discord;
    discord.Start();
    rcon_testing::TestListener own("pw");
    WindowsServerDir dir;
    // An event at once, then one every 6 s.
    auto config = IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 60);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    config["DiscordWebhook"] = discord.BaseUrl() + "/api/webhooks/1/wine";
    config["DiscordVerifiedTransport"] = true;
    dir.WriteConfig(config);
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=600", "--unload-at-exit"},
                                     dir.Path());

    ASSERT_TRUE(discord.WaitForRecords(1, std::chrono::seconds(60))) << server.Output();
    const auto record = discord.Records().at(0);
    EXPECT_EQ(record.status, 204);
    EXPECT_EQ(record.target, "/api/webhooks/1/wine");
    EXPECT_EQ(record.contentTypes, std::vector<std::string>{"application/json"});
    EXPECT_TRUE(Header(record, "User-Agent").starts_with("Quorvane ("))
        << Header(record, "User-Agent");
    EXPECT_EQ(
        record.body,
        R"({"content":"Meteor Shower","embeds":[{"color":"15105570","description":"Meteor Shower"}]})");

    discord.SetBehaviour({webhook::Answer::Stall, 1, 0});
    ASSERT_TRUE(discord.WaitForArrivals(2, std::chrono::seconds(60))) << server.Output();
    // Far below the client's own 30 s.
    const auto start = std::chrono::steady_clock::now();
    const auto result = server.Stop(std::chrono::seconds(60));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("[AsaApi][info] Unloaded plugin Quorvane"), std::string::npos)
        << result.output;
}

// The parameter: whether DiscordVerifiedTransport is set.
class DiscordTlsTest : public ::testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(DiscordTest, DiscordTlsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& verified) {
                             return verified.param ? "Verified" : "Framework";
                         });

TEST_P(DiscordTlsTest, OnlyTheVerifiedClientRefusesAnUntrustedCertificate) {
    webhook::Receiver discord;
    discord.Start();
    rcon_testing::TestListener own("pw");
    WindowsServerDir dir;
    const testing_support::TlsFront front(dir.Path() / "tls", discord.Port());
    ASSERT_FALSE(front.BaseUrl().empty());
    auto config = IslandConfig(WindowsPath(dir.InstallClient()), own.Port(), 1000);
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                    {"MaximumTimeToWait", 0}};
    config["DiscordWebhook"] = front.BaseUrl() + "/api/webhooks/1/wine";
    config["DiscordVerifiedTransport"] = GetParam();
    dir.WriteConfig(config);
    wine_testing::WineProcess server(wine_testing::WindowsProgram("GameServer.exe"),
                                     {"-serverkey=Island", "--time-scale=600"}, dir.Path());
    if (!GetParam()) {
        ASSERT_TRUE(discord.WaitForRecords(1, std::chrono::seconds(60))) << server.Output();
        EXPECT_EQ(discord.Records().at(0).status, 204);
    } else {
        // Refused at once and at the retry.
        EXPECT_TRUE(server.WaitForOutput(
            "[Quorvane][warning] Discord announcement of event meteor failed: no answer: ", 2))
            << server.Output();
        EXPECT_TRUE(discord.Records().empty());
    }
    EXPECT_EQ(server.Stop().exitCode, 0) << server.Output();
}

}  // namespace
