// What players see and ask: quorvane.announce's encoding, the plugin's command that shows an
// announcement on screen and in the chat, the fallback for a server without Quorvane, and the
// chat command that tells a player what is coming. The plugin runs here as the framework loads
// it, in this process, over the game stand-in's world, commands and chat.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include <nlohmann/json.hpp>

#include "GameChat.h"
#include "GameCommands.h"
#include "GameMode.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "Host/PluginLoader.h"
#include "PluginHost.h"
#include "RconListener.h"
#include "base/PercentText.h"
#include "base/Text.h"
#include "events/ComingEvents.h"
#include "platform/TimeZone.h"

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

TEST(PercentTextTest, EveryLetterCrossesAsOneWordOfPrintableAsciiAndComesBack) {
    struct Case {
        std::string text;
        std::string encoded;
        std::wstring units;  // the game's string
    };
    const Case cases[] = {
        {"M\u00e9t\u00e9ore", "M%C3%A9t%C3%A9ore", L"M\u00e9t\u00e9ore"},
        {"100% XP {Lat}", "100%25%20XP%20{Lat}", L"100% XP {Lat}"},
        {"two\nlines\t", "two%0Alines%09", L"two\nlines\t"},
        {"\xF0\x9F\x8C\xA0 \u6d41\u661f",
         "%F0%9F%8C%A0%20%E6%B5%81%E6%98%9F",
         {wchar_t(0xD83C), wchar_t(0xDF20), L' ', wchar_t(0x6D41), wchar_t(0x661F)}},
        {"!~\"'\\", "!~\"'\\", L"!~\"'\\"},
        {"", "", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(quorvane::PercentEncode(c.text), c.encoded) << c.text;
        std::string error;
        EXPECT_EQ(quorvane::PercentDecode(c.encoded, error), c.text) << error;
        EXPECT_EQ(quorvane::Utf16Units(c.text), c.units) << c.text;
    }
}

TEST(PercentTextTest, ADecodingTakesOnlyWhatTheEncodingWrites) {
    for (const std::string received : {
             "M%c3%a9t%c3%a9ore",      // lower-case hex
             "cut%4", "cut%",          // an escape cut short
             "%41",                    // a byte that stands as itself, escaped
             "two words",              // a blank
             "M\xC3\xA9t\xC3\xA9ore",  // letters that RCON would narrow
             "%C3",                    // a letter cut short
             "%C0%AF",                 // an overlong '/'
             "%ED%A0%80",              // a surrogate
             "%F4%90%80%80",           // above U+10FFFF
             "a%00b",                  // a NUL, which would end the game's string
         }) {
        std::string error;
        EXPECT_EQ(quorvane::PercentDecode(received, error), std::nullopt) << received;
        EXPECT_FALSE(error.empty()) << received;
    }
}

TEST(ComingEventsTest, RunningThenWarnedThenFixedTimesSoonestFirstAndTheChainsDrawStaysASurprise) {
    using quorvane::PlannedEvent;
    using std::chrono::minutes;
    const auto now = std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 50));
    const auto event = [](const std::string& label) {
        return quorvane::RandomEvent{"id", label, {{1, 2, 3}}};
    };
    std::map<std::uint64_t, PlannedEvent> entries;
    const auto add = [&](PlannedEvent::Source from, const std::string& label, minutes in,
                         bool warned) {
        PlannedEvent planned;
        planned.From = from;
        planned.Event = event(label);
        planned.Coordinate = quorvane::WorldCoordinate{1, 2, 3};
        planned.StartsAt = now + in;
        planned.Warned = warned;
        entries.emplace(entries.size() + 1, planned);
    };
    const quorvane::ComingEventsInput input{entries, now,
                                            [](const auto&) {
                                                return quorvane::LatLon{50.04, 7.96};
                                            },
                                            quorvane::platform::FindZone("UTC", {})};
    EXPECT_EQ(quorvane::ComingEventsText(input), "No event is announced yet.");

    add(PlannedEvent::Source::Chain, "Drawn, not warned", minutes(3), false);
    EXPECT_EQ(quorvane::ComingEventsText(input), "No event is announced yet.");
    add(PlannedEvent::Source::Fixed, "Eclipse", minutes(3 * 24 * 60 + 125), false);
    add(PlannedEvent::Source::Chain, "M\u00e9t\u00e9ore", minutes(10), true);
    add(PlannedEvent::Source::Fixed, "Storm", minutes(4), true);
    add(PlannedEvent::Source::Fixed, std::string(60, 'x') + "\u00e9", minutes(90), false);
    // Running: its end in 45 minutes, before everything that comes.
    add(PlannedEvent::Source::End, "Double XP", minutes(45), false);
    const std::string clock = quorvane::ComingEventsText(input);
    // A Friday, 00:00 UTC.
    EXPECT_EQ(clock,
              "Double XP runs now, 45 min left\n"
              "Storm at Lat 50.0, Lon 8.0 in 4 min\n"
              "M\u00e9t\u00e9ore at Lat 50.0, Lon 8.0 in 10 min\n" +
                  std::string(48, 'x') + "...: next Fri 01:30, in 1 h 30 min\n" +
                  "Eclipse: next Mon 02:05, in 3 d 2 h");

    // Bounded: eight events, then a count.
    for (int i = 0; i < 20; ++i) {
        add(PlannedEvent::Source::Chain, std::string(200, 'y'), minutes(20 + i), true);
    }
    const std::string many = quorvane::ComingEventsText(input);
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 8);
    EXPECT_TRUE(many.ends_with("\nand 17 more")) << many;
    EXPECT_LT(many.size(), 1000u);
}

// One server of a cluster with the plugin loaded as the framework loads it, its game world
// with two players, and the other servers as RCON listeners in this process.
class AnnouncementHostTest : public ::testing::Test {
  protected:
    // The plugin's own section: this process has no -serverkey= on its command line.
    static constexpr const char* kOwn = "";

    AnnouncementHostTest() {
        gameserver::RegisterGameCommands();
        gameserver::RegisterGameChat();
        gameserver::RegisterGameMode();
        gameserver::RegisterWorldNames();
        asahost::InstallFrameworkHooks();
        world_ = std::make_unique<gameserver::GameWorld>(gameserver::DefaultMap());
        world_->SetPlayers(2);
        asahost::SetWorld(world_->World());
        asahost::SetServerStatus(AsaApi::ServerStatus::Ready);
    }
    ~AnnouncementHostTest() override {
        host_.Game().Run([] { asahost::UnloadPlugins(); });
        asahost::SetWorld(nullptr);
        asahost::ClearRegistry();
    }

    // A server of the cluster: it records what it is sent and answers as `answer` says.
    struct Peer {
        explicit Peer(std::function<std::string(const std::string&)> answer) {
            gameserver::RconListenerOptions options;
            options.password = "pw";
            options.console = [answer](const std::string& command, int) {
                return gameserver::RconAnswer(answer(command));
            };
            listener = std::make_unique<gameserver::RconListener>(std::move(options));
            listener->Start();
        }
        Lines Received() const {
            Lines commands;
            for (const auto& command : listener->Commands()) {
                commands.push_back(command.command);
            }
            return commands;
        }
        std::unique_ptr<gameserver::RconListener> listener;
    };

    static json Section(const std::string& label, int port) {
        return {
            {"Serverlabel", label},
            {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", "pw"}}},
            {"StartEventOnBootSettings",
             {{"MinimumTimeToWait", 1440}, {"MaximumTimeToWait", 1440}}},
            {"TimeBetweenEvents",
             {{"MinimumTimeToNextEvent", 1440}, {"MaximumTimeToNextEvent", 1440}}}};
    }

    json Config() const {
        json config = {{"DiscordWebhook", ""},
                       {"DiscordWebhookColor", "1"},
                       {"DiscordBroadcastHeader", "h"},
                       {"DiscordBroadcastMessage", "m"},
                       {"BroadcastStartEventMessage", "{Eventlabel} {Serverlabel} 100%"},
                       {"ServerEventsCommand", "StartWorldEvent"},
                       {"RconClient", "builtin"},
                       {"PlayerAnnouncements", "quorvane"},
                       {"AnnouncementSender", "H\u00e9raut"},
                       {"PlayerCommand", "/event"},
                       {kOwn, Section("\u00cele", own_.listener->Port())}};
        config[kOwn]["RandomEvents"] = {
            {"meteor", {{"Eventlabel", "M\u00e9t\u00e9ore"}, {"RandomCCCs", {"1 2 3"}}}}};
        return config;
    }

    void Load(const json& config) {
        host_.Dir().WriteConfig(config.dump());
        host_.Game().Run([] { asahost::LoadPlugins(); });
    }

    // What the plugin's RCON command sent back, or nothing when no plugin took it.
    std::optional<Lines> Rcon(const std::string& command) {
        std::optional<Lines> sent;
        host_.Game().Run([&] {
            auto answer = gameserver::RunRconCommand(command, 7);
            if (answer.sent) {
                sent.emplace();
                for (const auto& message : *answer.sent) {
                    sent->push_back(message.body);
                }
            }
        });
        return sent;
    }

    // The game server's lines that players see, and the plugin's warnings.
    Lines Seen() const {
        Lines seen;
        for (const auto& line : host_.Lines()) {
            if (line.starts_with("[GameServer]") || line.starts_with("[Quorvane][warning]")) {
                seen.push_back(line);
            }
        }
        return seen;
    }

    void Chat(const std::string& nameAndText, double atSeconds) {
        host_.Game().Run([&] {
            world_->SetTime(atSeconds);
            EXPECT_EQ(gameserver::RunChatLine(*world_, nameAndText), "");
        });
    }

    testing_support::PluginHost host_;
    std::unique_ptr<gameserver::GameWorld> world_;
    // Its own server, whose Quorvane takes the announcements.
    Peer own_{[](const std::string& command) {
        return command.starts_with("quorvane.announce ") ? "Quorvane: shown to 2 player(s)"
                                                         : std::string();
    }};
};

TEST_F(AnnouncementHostTest, AnAnnouncementIsShownWithEveryLetterAndAnsweredWithItsAudience) {
    Load(Config());
    host_.ClearLines();
    EXPECT_EQ(Rcon("quorvane.announce M%C3%A9t%C3%A9ore%20{}%0Anext%20%F0%9F%8C%A0"),
              (Lines{"Quorvane: shown to 2 player(s)"}));
    EXPECT_EQ(Seen(), (Lines{"[GameServer][info] Players see on screen: M\u00e9t\u00e9ore {}",
                             "[GameServer][info] Players see on screen: next \xF0\x9F\x8C\xA0",
                             "[GameServer][info] Players see in the chat: H\u00e9raut: "
                             "M\u00e9t\u00e9ore {}",
                             "[GameServer][info] Players see in the chat: H\u00e9raut: next "
                             "\xF0\x9F\x8C\xA0"}));

    // Refused, with the reason, and nobody sees anything.
    for (const std::string bad : {"M\u00e9t\u00e9ore", "two words", "%c3%a9", ""}) {
        host_.ClearLines();
        const auto answer = Rcon("QUORVANE.ANNOUNCE " + bad);
        ASSERT_TRUE(answer && answer->size() == 1u) << bad;
        EXPECT_TRUE(answer->front().starts_with("Quorvane: announcement not shown: "))
            << answer->front();
        const auto seen = Seen();
        ASSERT_EQ(seen.size(), 1u) << bad;
        EXPECT_TRUE(seen[0].starts_with("[Quorvane][warning] quorvane.announce refused: "));
    }

    // Nobody online: shown to nobody, and nothing logged as seen.
    host_.Game().Run([&] { world_->SetPlayers(0); });
    host_.ClearLines();
    EXPECT_EQ(Rcon("quorvane.announce hello"), (Lines{"Quorvane: shown to 0 player(s)"}));
    EXPECT_EQ(Seen(), Lines{});
}

// Each server gets the announcement as quorvane.announce; one whose answer shows that no
// Quorvane took it gets it again as ServerChat in ASCII, and is warned of once until a reload.
TEST_F(AnnouncementHostTest, AServerWithoutQuorvaneGetsServerChatAndOneWarningPerReload) {
    Peer quorvane([](const std::string& command) {
        return command.starts_with("quorvane.announce ") ? "Quorvane: shown to 3 player(s)"
                                                         : std::string();
    });
    Peer plain([](const std::string&) { return std::string(); });  // "no response"
    json config = Config();
    config["Quorvaned"] = Section("Q", quorvane.listener->Port());
    config["Plain"] = Section("P", plain.listener->Port());
    Load(config);
    const std::string announce = "quorvane.announce M%C3%A9t%C3%A9ore%20%C3%8Ele%20100%25";
    const std::string chat = "ServerChat M??t??ore ??le 100%";
    const auto start = [&] {
        EXPECT_EQ(Rcon("quorvane.next meteor"), (Lines{"Started event meteor (M??t??ore)"}));
    };
    const auto wait = [&](const Peer& peer, std::size_t count) {
        EXPECT_TRUE(peer.listener->WaitForCommands(count, std::chrono::seconds(30)));
    };
    const auto sorted = [](Lines lines) {
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    start();
    start();
    wait(plain, 4);
    wait(quorvane, 2);
    wait(own_, 4);
    EXPECT_EQ(quorvane.Received(), (Lines{announce, announce}));
    EXPECT_EQ(sorted(plain.Received()), sorted({announce, chat, announce, chat}));
    EXPECT_EQ(sorted(own_.Received()), sorted({"StartWorldEvent meteor 1 2 3", announce,
                                               "StartWorldEvent meteor 1 2 3", announce}));
    const auto warned = [&] {
        const auto seen = Seen();
        return std::count_if(seen.begin(), seen.end(), [](const std::string& line) {
            return line.starts_with("[Quorvane][warning] Plain (127.0.0.1:") &&
                   line.find("has no Quorvane that takes quorvane.announce") != std::string::npos;
        });
    };
    EXPECT_EQ(warned(), 1);
    // The delivery's record of the server, once the jobs are done.
    const std::string outcome = "RCON Plain (127.0.0.1:" + std::to_string(plain.listener->Port()) +
                                "): delivered as ServerChat";
    std::string status;
    for (int i = 0; i < 300 && status.find(outcome) == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        status = Rcon("quorvane.status").value_or(Lines{""}).front();
    }
    EXPECT_NE(status.find(outcome), std::string::npos) << status;

    EXPECT_EQ(Rcon("quorvane.reload")->front().substr(0, 8), "Reloaded");
    start();
    wait(plain, 6);
    EXPECT_EQ(warned(), 2);
}

// The chat command answers the player who typed it alone; the framework drops a line sent
// within a game second of that player's last; any other line is shown in the chat.
TEST_F(AnnouncementHostTest, PlayerCommandTellsThePlayerAloneWhatIsComing) {
    json config = Config();
    config[kOwn]["RandomEvents"]["eclipse"] = {
        {"Eventlabel", "\u00c9clipse"}, {"RandomCCCs", {"0 0 0"}}, {"At", {"Sun 20:00"}}};
    config["TimeZone"] = "UTC";
    Load(config);
    const auto answers = [&] {
        Lines lines;
        for (const auto& line : Seen()) {
            if (line.starts_with("[GameServer][info] Server message to ")) {
                lines.push_back(line.substr(std::string("[GameServer][info] ").size()));
            }
        }
        return lines;
    };
    host_.ClearLines();
    Chat("Ana /EVENT now", 10);
    Chat("Ana /event", 10.5);  // dropped: within a second
    Chat("Bo /event", 10.5);
    Chat("Ana hello \u00e9", 11.6);
    const auto lines = answers();
    ASSERT_EQ(lines.size(), 2u) << testing::PrintToString(Seen());
    EXPECT_TRUE(lines[0].starts_with("Server message to Ana: \u00c9clipse: next Sun 20:00, in "))
        << lines[0];
    EXPECT_TRUE(lines[1].starts_with("Server message to Bo: \u00c9clipse: next Sun 20:00, in "));
    const auto seen = Seen();
    EXPECT_EQ(std::count(seen.begin(), seen.end(),
                         "[GameServer][info] Players see in the chat: Ana: hello \u00e9"),
              1);
    EXPECT_EQ(
        std::count_if(seen.begin(), seen.end(),
                      [](const std::string& line) { return line.find("/event") != line.npos; }),
        0);

    // Taken away with the plugin: the line is chat again.
    host_.Game().Run([] { asahost::UnloadPlugins(); });
    host_.ClearLines();
    Chat("Ana /event", 20);
    EXPECT_EQ(Seen(), (Lines{"[GameServer][info] Players see in the chat: Ana: /event"}));
}

}  // namespace
