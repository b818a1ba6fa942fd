// Reading config.json: the settings it yields, the lines it logs, the errors it ends with.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "PluginHost.h"
#include "config/ConfigParser.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

json BaseConfig() {
    return json::parse(R"({
      "DiscordWebhook": "https://discord.example/api/webhooks/1/x",
      "DiscordBroadcastMessage": "{Eventlabel} on {Serverlabel}",
      "MCRconPath": "C:\\rcon\\mcrcon.exe",
      "DiscordBroadcastHeader": "Header",
      "DiscordWebhookColor": "255",
      "ServerEventsCommand": "StartEvent",
      "BroadcastStartEventMessage": "{Eventlabel} at {Lat} {Lon}",
      "Island": {
        "Serverlabel": "The Island",
        "RconSettings": {"RconIP": "10.0.0.1", "RconPort": 27020, "RconPassword": "pw1"},
        "StartEventOnBootSettings": {"MinimumTimeToWait": 5, "MaximumTimeToWait": 10},
        "TimeBetweenEvents": {"MinimumTimeToNextEvent": 30, "MaximumTimeToNextEvent": 60},
        "RandomEvents": {
          "meteor": {"Eventlabel": "Meteor", "RandomCCCs": ["1000 -2000 350", "0.1 1000.5 123456.7"]}
        }
      }
    })");
}

struct Outcome {
    std::optional<std::string> error;  // what() of the exception that ended the load
    std::string pointer;               // of the value at fault
    bool keyAsked = false;
    std::vector<std::string> lines;
};

class ConfigReaderTest : public ::testing::Test {
  protected:
    Outcome LoadText(const std::string& text, const std::string& key = "Island") {
        host_.Dir().WriteConfig(text);
        return LoadFile(key);
    }
    Outcome Load(const json& config, const std::string& key = "Island") {
        return LoadText(config.dump(), key);
    }
    Outcome LoadFile(const std::string& key = "Island") {
        Outcome outcome;
        try {
            read_ = quorvane::ReadConfig(quorvane::ConfigFilePath(), [&] {
                outcome.keyAsked = true;
                return key;
            });
        } catch (const quorvane::ConfigError& e) {
            outcome.error = e.what();
            outcome.pointer = e.Problem().pointer;
        }
        outcome.lines = host_.PluginLines();
        return outcome;
    }

    // The base file with `patch` merged into it, loaded afresh; it must load.
    Outcome LoadWith(const json& patch) {
        json config = BaseConfig();
        config.merge_patch(patch);
        host_.ClearLines();
        auto outcome = Load(config);
        EXPECT_FALSE(outcome.error) << outcome.error.value_or("") << " " << patch;
        return outcome;
    }
    static std::vector<std::string> WarningsOf(const Outcome& outcome) {
        std::vector<std::string> warnings;
        std::copy_if(
            outcome.lines.begin(), outcome.lines.end(), std::back_inserter(warnings),
            [](const std::string& line) { return line.starts_with("[Quorvane][warning]"); });
        return warnings;
    }

    // The settings of the last load that succeeded.
    quorvane::Settings& Read() { return read_; }

    testing_support::PluginHost host_;
    quorvane::Settings read_;
};

TEST_F(ConfigReaderTest, FillsEverySettingFromTheSharedPartAndTheOwnSection) {
    const Outcome outcome = Load(BaseConfig());
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const auto& s = Read();
    EXPECT_FALSE(s.Debug);
    EXPECT_EQ(s.ServerKey, "Island");
    EXPECT_EQ(s.Serverlabel, "The Island");
    EXPECT_EQ(s.DiscordWebhook, "https://discord.example/api/webhooks/1/x");
    EXPECT_EQ(s.DiscordBroadcastMessage, "{Eventlabel} on {Serverlabel}");
    EXPECT_EQ(s.MCRconPath, "C:\\rcon\\mcrcon.exe");
    EXPECT_EQ(s.DiscordBroadcastHeader, "Header");
    EXPECT_EQ(s.DiscordWebhookColor, "255");
    EXPECT_EQ(s.ServerEventsCommand, "StartEvent");
    EXPECT_EQ(s.BroadcastStartEventMessage, "{Eventlabel} at {Lat} {Lon}");
    EXPECT_EQ(s.RconSettings.RconIP, "10.0.0.1");
    EXPECT_EQ(s.RconSettings.RconPort, 27020);
    EXPECT_EQ(s.RconSettings.RconPassword, "pw1");
    EXPECT_EQ(s.MinimumTimeToWait, 5);
    EXPECT_EQ(s.MaximumTimeToWait, 10);
    EXPECT_EQ(s.MinimumTimeToNextEvent, 30);
    EXPECT_EQ(s.MaximumTimeToNextEvent, 60);
    ASSERT_EQ(s.RandomEvents.size(), 1u);
    EXPECT_EQ(s.RandomEvents[0].EventId, "meteor");
    EXPECT_EQ(s.RandomEvents[0].Eventlabel, "Meteor");
    ASSERT_EQ(s.RandomEvents[0].RandomCCCs.size(), 2u);
    EXPECT_EQ(s.RandomEvents[0].RandomCCCs[1].X, 0.1f);
    EXPECT_EQ(s.RandomEvents[0].RandomCCCs[1].Z, 123456.7f);
    ASSERT_EQ(s.RconInfos.size(), 1u);
    EXPECT_EQ(s.RconInfos[0].RconPassword, "pw1");
    // Without Debug only the key and the label are logged.
    EXPECT_EQ(outcome.lines,
              (std::vector<std::string>{"[Quorvane][info] Server Key: Island",
                                        "[Quorvane][info] Server Label: The Island"}));
}

TEST_F(ConfigReaderTest, DebugDumpsTheWholeConfigurationLineByLine) {
    json config = BaseConfig();
    config["Debug"] = true;
    config["Zed"] = config["Island"];
    config["Zed"]["RconSettings"] = {
        {"RconIP", "10.0.0.9"}, {"RconPort", 0}, {"RconPassword", "z"}};
    config["Alpha"] = config["Island"];
    config["Alpha"]["RconSettings"] = {
        {"RconIP", "10.0.0.2"}, {"RconPort", 27021}, {"RconPassword", "pw2"}};
    config["Island"]["RandomEvents"]["calm"] = {{"Eventlabel", "Calm"},
                                                {"RandomCCCs", json::array()}};
    const Outcome outcome = Load(config);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const std::vector<std::string> expected = {
        "[Quorvane][info] Server Key: Island",
        "[Quorvane][info] Server Label: The Island",
        "[Quorvane][warning] Event calm (Calm) has no coordinates: it never starts",
        "[Quorvane][info] Config Loaded",
        "[Quorvane][info] Server Key: Island",
        "[Quorvane][info] MinimumTimeToWait: 5",
        "[Quorvane][info] MaximumTimeToWait: 10",
        "[Quorvane][info] MinimumTimeToNextEvent: 30",
        "[Quorvane][info] MaximumTimeToNextEvent: 60",
        "[Quorvane][info] RconInfos (3)",
        "[Quorvane][info]  - Rcon IP: 10.0.0.2",
        "[Quorvane][info]  - Rcon Port: 27021",
        "[Quorvane][info]  - Rcon Password: ***",
        "[Quorvane][info] ",
        "[Quorvane][info]  - Rcon IP: 10.0.0.1",
        "[Quorvane][info]  - Rcon Port: 27020",
        "[Quorvane][info]  - Rcon Password: ***",
        "[Quorvane][info] ",
        "[Quorvane][warning] Invalid RconInfo",
        "[Quorvane][info] Events (2)",
        "[Quorvane][info]  - Event Id: calm",
        "[Quorvane][info]  - Event Label: Calm",
        "[Quorvane][info]  - Possible Coordinates (0)",
        "[Quorvane][info]  - Event Id: meteor",
        "[Quorvane][info]  - Event Label: Meteor",
        "[Quorvane][info]  - Possible Coordinates (2)",
        "[Quorvane][info]    - X: 1000, Y: -2000, Z: 350",
        "[Quorvane][info]    - X: 0.1, Y: 1000.5, Z: 123457",
    };
    EXPECT_EQ(outcome.lines, expected);
    EXPECT_TRUE(Read().Debug);
    // The entry with port 0 is only reported, not dropped.
    ASSERT_EQ(Read().RconInfos.size(), 3u);
    EXPECT_EQ(Read().RconInfos[2].RconIP, "10.0.0.9");
}

TEST_F(ConfigReaderTest, CoordinatesPrintLikePrintfG) {
    json config = BaseConfig();
    config["Debug"] = true;
    config["Island"]["RandomEvents"] = {
        {"e",
         {{"Eventlabel", "E"}, {"RandomCCCs", {"1234567 0.0001 0.00001", "-120000.5 1e6 -0"}}}}};
    const Outcome outcome = Load(config);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    ASSERT_GE(outcome.lines.size(), 2u);
    EXPECT_EQ(outcome.lines[outcome.lines.size() - 2],
              "[Quorvane][info]    - X: 1.23457e+06, Y: 0.0001, Z: 1e-05");
    EXPECT_EQ(outcome.lines.back(), "[Quorvane][info]    - X: -120000, Y: 1e+06, Z: -0");
}

TEST_F(ConfigReaderTest, RconInfosFollowTheByteOrderOfSectionNamesOwnSectionIncluded) {
    json config = BaseConfig();
    config["b"] = {{"RconSettings", {{"RconIP", "b"}, {"RconPort", 2}, {"RconPassword", "pb"}}}};
    config["B"] = {{"RconSettings", {{"RconIP", "B"}, {"RconPort", 1}, {"RconPassword", "pB"}}}};
    config["Aa"] = {{"RconSettings", {{"RconIP", "Aa"}, {"RconPort", 3}, {"RconPassword", "pA"}}}};
    config["notASection"] = "text";
    config["alsoNot"] = 42;
    ASSERT_FALSE(Load(config).error);
    std::vector<std::string> order;
    for (const auto& target : Read().RconInfos) {
        order.push_back(target.RconIP);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Aa", "B", "10.0.0.1", "b"}));
}

TEST_F(ConfigReaderTest, EachRconTargetKnowsItsSection) {
    json config = BaseConfig();
    config["B"] = {{"RconSettings", {{"RconIP", "B"}, {"RconPort", 1}, {"RconPassword", "pB"}}}};
    ASSERT_FALSE(Load(config).error);
    EXPECT_EQ(Read().RconSettings.ServerKey, "Island");
    ASSERT_EQ(Read().RconInfos.size(), 2u);
    EXPECT_EQ(Read().RconInfos[0].ServerKey, "B");
    EXPECT_EQ(Read().RconInfos[1].ServerKey, "Island");
}

TEST_F(ConfigReaderTest, TheClientTimeoutIsOptionalAndOutOfRangeFallsBackToTenSeconds) {
    struct Case {
        json value;  // null: absent
        double seconds;
        std::string warning;
    };
    const Case cases[] = {
        {nullptr, 10, ""},
        {2.5, 2.5, ""},
        {3600, 3600, ""},
        {0, 10,
         "[Quorvane][warning] RconClientTimeoutSeconds (0) is not above 0 and at most 3600; "
         "10 is used"},
        {-1, 10,
         "[Quorvane][warning] RconClientTimeoutSeconds (-1) is not above 0 and at most "
         "3600; 10 is used"},
        {86400, 10,
         "[Quorvane][warning] RconClientTimeoutSeconds (86400) is not above 0 and at "
         "most 3600; 10 is used"},
    };
    for (const auto& c : cases) {
        json config = BaseConfig();
        if (!c.value.is_null()) {
            config["RconClientTimeoutSeconds"] = c.value;
        }
        const auto outcome = Load(config);
        ASSERT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(Read().RconClientTimeoutSeconds, c.seconds) << c.value;
        const bool warned =
            std::find(outcome.lines.begin(), outcome.lines.end(), c.warning) != outcome.lines.end();
        EXPECT_EQ(warned, !c.warning.empty()) << c.value;
    }
    json config = BaseConfig();
    config["RconClientTimeoutSeconds"] = "5";
    EXPECT_EQ(Load(config).error,
              "[json.exception.type_error.302] type must be number, but is string");
}

// The own section's choice holds for this server, else the top level's; the built-in client
// needs no client path, and the file's path is then not used.
TEST_F(ConfigReaderTest, TheRconClientIsTheOwnSectionsElseTheTopLevelsElseExternal) {
    using quorvane::RconClientKind;
    struct Case {
        json top;      // null: absent
        json section;  // of the own server; null: absent
        bool clientPath;
        RconClientKind client;
        std::optional<std::string> error;
    };
    const std::string unknown = R"([Quorvane][warning] RconClient (Builtin) is neither )"
                                R"("external" nor "builtin"; "external" is used)";
    const Case cases[] = {
        {nullptr, nullptr, true, RconClientKind::External, {}},
        {"builtin", nullptr, false, RconClientKind::Builtin, {}},
        {"builtin", "external", true, RconClientKind::External, {}},
        {"external", "builtin", false, RconClientKind::Builtin, {}},
        {nullptr, "Builtin", true, RconClientKind::External, unknown},
        {"external", nullptr, false, RconClientKind::External,
         "[json.exception.type_error.302] type must be string, but is null"},
        {true, nullptr, true, RconClientKind::External,
         "[json.exception.type_error.302] type must be string, but is boolean"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.top.dump() + " " + c.section.dump());
        json config = BaseConfig();
        config["Other"] = {
            {"RconClient", "builtin"},  // holds for Other alone
            {"RconSettings", {{"RconIP", "10.0.0.2"}, {"RconPort", 1}, {"RconPassword", "p"}}}};
        if (!c.top.is_null()) {
            config["RconClient"] = c.top;
        }
        if (!c.section.is_null()) {
            config["Island"]["RconClient"] = c.section;
        }
        if (!c.clientPath) {
            config.erase("MCRconPath");
        }
        const auto outcome = Load(config);
        if (c.error && c.error->starts_with("[json")) {
            EXPECT_EQ(outcome.error, c.error);
            continue;
        }
        ASSERT_FALSE(outcome.error) << *outcome.error;
        EXPECT_EQ(Read().RconClient, c.client);
        EXPECT_EQ(Read().MCRconPath,
                  c.client == RconClientKind::Builtin ? "" : "C:\\rcon\\mcrcon.exe");
        EXPECT_EQ(std::count(outcome.lines.begin(), outcome.lines.end(), unknown), c.error ? 1 : 0);
    }
    // The built-in client looks host names up as the external one does: nothing to say.
    json named = BaseConfig();
    named["RconClient"] = "builtin";
    named["Island"]["RconSettings"]["RconIP"] = "island.example";
    const auto outcome = Load(named);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    for (const auto& line : outcome.lines) {
        EXPECT_EQ(line.find("RconIP"), std::string::npos) << line;
    }
}

// What the running plugin would otherwise do silently: events at every timer tick, posts that
// Discord refuses.
TEST_F(ConfigReaderTest, WarnsOfMinutesBetweenEventsAtOrBelowZeroAndOfColoursDiscordRefuses) {
    struct Case {
        json patch;
        std::vector<std::string> warnings;
    };
    const std::string colour = "[Quorvane][warning] DiscordWebhookColor (";
    const std::string refused =
        ") is not a decimal number from 0 to 16777215: Discord refuses such posts, or none is "
        "made when it is empty";
    const Case cases[] = {
        {{{"Island", {{"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 0}}}}}},
         {"[Quorvane][warning] MinimumTimeToNextEvent (0) is not above 0: events may start at "
          "every timer tick"}},
        {{{"Island",
           {{"TimeBetweenEvents",
             {{"MinimumTimeToNextEvent", -3}, {"MaximumTimeToNextEvent", -1}}}}}},
         {"[Quorvane][warning] MinimumTimeToNextEvent (-3) is not above 0: events may start at "
          "every timer tick"}},
        {{{"DiscordWebhookColor", "#E67E22"}}, {colour + "#E67E22" + refused}},
        {{{"DiscordWebhookColor", "16777216"}}, {colour + "16777216" + refused}},
        {{{"DiscordWebhookColor", ""}}, {colour + refused}},
        {{{"DiscordWebhookColor", "16777215"}}, {}},
        {{{"DiscordWebhookColor", "#E67E22"}, {"DiscordWebhook", ""}}, {}},  // Discord is off
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WarningsOf(LoadWith(c.patch)), c.warnings) << c.patch;
    }
}

// The controls of the draws and of when events run: each optional, each a number in its range
// or the default with a warning, and an ActiveHours that cannot be read means any hour.
TEST_F(ConfigReaderTest, AdminControlsAreTakenInTheirRangesOrWarnedOf) {
    struct Case {
        json patch;  // merged into the own section
        std::int32_t weight, avoidRepeats, players;
        std::optional<std::string> hours;
        std::vector<std::string> warnings;
    };
    const std::string warning = "[Quorvane][warning] ";
    const Case cases[] = {
        {json::object(), 1, 0, 0, std::nullopt, {}},
        {{{"RandomEvents", {{"meteor", {{"Weight", 1000}}}}},
          {"AvoidRepeats", 0},
          {"MinimumPlayersOnline", 12},
          {"ActiveHours", "22:00-02:00"}},
         1000,
         0,
         12,
         "22:00-02:00",
         {}},
        {{{"RandomEvents", {{"meteor", {{"Weight", -1}, {"DurationMinutes", 1441}}}}},
          {"AvoidRepeats", 101},
          {"MinimumPlayersOnline", -1}},
         1,
         0,
         0,
         std::nullopt,
         {warning + "Weight of event meteor (-1) is not from 0 to 1000; 1 is used",
          warning + "DurationMinutes of event meteor (1441) is not from 1 to 1440; 0 is used",
          warning + "AvoidRepeats (101) is not from 0 to 100; 0 is used",
          warning + "MinimumPlayersOnline (-1) is not 0 or more; 0 is used"}},
        // Drawn never, and started at no fixed time either.
        {{{"RandomEvents", {{"meteor", {{"Weight", 0}}}}}},
         0,
         0,
         0,
         std::nullopt,
         {warning + "Event meteor (Meteor) has Weight 0 and no At: it never starts"}},
        {{{"ActiveHours", "10pm-2am"}},
         1,
         0,
         0,
         std::nullopt,
         {warning + "ActiveHours (10pm-2am) cannot be read as HH:MM-HH:MM (00:00 to 24:00): "
                    "events start at any hour"}},
        // One event: after it, nothing else is left to draw.
        {{{"AvoidRepeats", 1}},
         1,
         1,
         0,
         std::nullopt,
         {warning + "AvoidRepeats (1) is not below the number of events (1): once every event "
                    "has run within that many, repeats cannot be avoided"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WarningsOf(LoadWith(json{{"Island", c.patch}})), c.warnings) << c.patch;
        EXPECT_EQ(Read().RandomEvents.at(0).Weight, c.weight) << c.patch;
        EXPECT_EQ(Read().AvoidRepeats, c.avoidRepeats) << c.patch;
        EXPECT_EQ(Read().MinimumPlayersOnline, c.players) << c.patch;
        EXPECT_EQ(Read().ActiveHours ? std::optional(Read().ActiveHours->Text) : std::nullopt,
                  c.hours)
            << c.patch;
    }
    json config = BaseConfig();
    config["Island"]["ActiveHours"] = 18;
    EXPECT_EQ(Load(config).pointer, "/Island/ActiveHours");
    config = BaseConfig();
    config["Island"]["RandomEvents"]["meteor"]["Weight"] = "2";
    EXPECT_EQ(Load(config).pointer, "/Island/RandomEvents/meteor/Weight");
}

// The optional parts of Discord posts: each taken when Discord would take it; otherwise a
// warning with its pointer and the value left out, and the plugin stays active.
TEST_F(ConfigReaderTest, DiscordPartsAreTakenOrLeftOutWithAWarning) {
    const auto parts = [](const quorvane::Settings& s) {
        return json{{"roles", s.DiscordMentionRoleIds},
                    {"name", s.DiscordUsername},
                    {"avatar", s.DiscordAvatarUrl},
                    {"thread", s.DiscordThreadId},
                    {"timestamp", s.DiscordTimestamp},
                    {"image", s.RandomEvents.at(0).DiscordImageUrl},
                    {"verified", s.DiscordVerifiedTransport}};
    };
    const json none = {{"roles", json::array()}, {"name", ""},  {"avatar", ""},     {"thread", ""},
                       {"timestamp", false},     {"image", ""}, {"verified", false}};
    const auto with = [&](json changes) {
        json out = none;
        out.merge_patch(changes);
        return out;
    };
    const auto image = [](json url) {
        return json{{"Island", {{"RandomEvents", {{"meteor", {{"DiscordImageUrl", url}}}}}}}};
    };
    const std::string id =
        " is not a Discord id (the digits of a number up to "
        "18446744073709551615); it is left out";
    const std::string address = " is not an http:// or https:// address; it is left out";
    struct Case {
        json patch;  // merged into the file
        json read;
        Lines warnings;
    };
    json all = {{"DiscordMentionRoleIds", {"111", "18446744073709551615"}},
                {"DiscordUsername", "Event Bot"},
                {"DiscordAvatarUrl", "HTTPS://example.org/a.png"},
                {"DiscordThreadId", "333"},
                {"DiscordTimestamp", true},
                {"DiscordVerifiedTransport", true}};
    all.merge_patch(image("http://example.org/m.png?size=2"));
    std::string eighty;
    for (int i = 0; i < 80; ++i) {
        eighty += "\xC3\xA9";
    }
    json fiftyOne = json::array();
    for (int i = 1; i <= 51; ++i) {
        fiftyOne.push_back(std::to_string(i));
    }
    const Case cases[] = {
        {all,
         {{"roles", {"111", "18446744073709551615"}},
          {"name", "Event Bot"},
          {"avatar", "HTTPS://example.org/a.png"},
          {"thread", "333"},
          {"timestamp", true},
          {"image", "http://example.org/m.png?size=2"},
          {"verified", true}},
         {}},
        // Empty texts are no value, as an empty DiscordWebhook is none.
        {{{"DiscordUsername", ""}, {"DiscordAvatarUrl", ""}, {"DiscordThreadId", ""}}, none, {}},
        {{{"DiscordMentionRoleIds", {"111", "12a", 5, "18446744073709551616", ""}}},
         with({{"roles", {"111"}}}),
         {"/DiscordMentionRoleIds/1: \"12a\"" + id,
          "/DiscordMentionRoleIds/2: 5 is not a string; it is left out",
          "/DiscordMentionRoleIds/3: \"18446744073709551616\"" + id,
          "/DiscordMentionRoleIds/4: \"\"" + id}},
        {{{"DiscordMentionRoleIds", "111"}},
         none,
         {"/DiscordMentionRoleIds: \"111\" is not a list of role ids; it is left out"}},
        {{{"DiscordMentionRoleIds", fiftyOne}},
         with({{"roles", std::vector<json>(fiftyOne.begin(), fiftyOne.end() - 1)}}),
         {"/DiscordMentionRoleIds: 51 role ids, more than 50; those after the 50th are left out"}},
        {{{"DiscordUsername", "Discord Events"}},
         none,
         {"/DiscordUsername: \"Discord Events\" holds \"discord\", which Discord refuses in a "
          "webhook's name; it is left out"}},
        {{{"DiscordUsername", "Mr CLYDE"}},
         none,
         {"/DiscordUsername: \"Mr CLYDE\" holds \"clyde\", which Discord refuses in a webhook's "
          "name; it is left out"}},
        {{{"DiscordUsername", "  "}},
         none,
         {"/DiscordUsername: \"  \" is blank; Discord takes a name of 1 to 80 characters; it is "
          "left out"}},
        {{{"DiscordUsername", std::string(81, 'x')}},
         none,
         {"/DiscordUsername: \"" + std::string(81, 'x') +
          "\" has 81 characters; Discord takes 1 to 80; it is left out"}},
        // 80 characters of two bytes each.
        {{{"DiscordUsername", eighty}}, with({{"name", eighty}}), {}},
        {{{"DiscordAvatarUrl", "ftp://example.org/a.png"}},
         none,
         {"/DiscordAvatarUrl: \"ftp://example.org/a.png\"" + address}},
        {{{"DiscordAvatarUrl", "https:///a.png"}},
         none,
         {"/DiscordAvatarUrl: \"https:///a.png\"" + address}},
        {{{"DiscordAvatarUrl", "https://example.org/a b.png"}},
         none,
         {"/DiscordAvatarUrl: \"https://example.org/a b.png\"" + address}},
        {{{"DiscordThreadId", 333}},
         none,
         {"/DiscordThreadId: 333 is not a string; it is left out"}},
        {{{"DiscordThreadId", "thread-1"}}, none, {"/DiscordThreadId: \"thread-1\"" + id}},
        {{{"DiscordTimestamp", "yes"}},
         none,
         {"/DiscordTimestamp: \"yes\" is not true or false; it is left out"}},
        // Left out, the posts go unverified as without the key.
        {{{"DiscordVerifiedTransport", 1}},
         none,
         {"/DiscordVerifiedTransport: 1 is not true or false; it is left out"}},
        {image("example.org/m.png"),
         none,
         {"/Island/RandomEvents/meteor/DiscordImageUrl: \"example.org/m.png\"" + address}},
    };
    for (const auto& c : cases) {
        Lines expected;
        for (const auto& warning : c.warnings) {
            expected.push_back("[Quorvane][warning] " + warning);
        }
        EXPECT_EQ(WarningsOf(LoadWith(c.patch)), expected) << c.patch;
        EXPECT_EQ(parts(Read()), c.read) << c.patch;
    }
}

TEST_F(ConfigReaderTest, ScheduleKeysAreReadOrWarnedOf) {
    struct Case {
        json patch;  // merged into the whole file
        std::vector<std::int32_t> warnings;
        std::size_t fixedTimes;
        std::vector<std::string> logged;  // the warning lines
    };
    const std::string warning = "[Quorvane][warning] ";
    const Case cases[] = {
        {json::object(), {}, 0, {}},
        {{{"EventWarningMinutes", {1, 10, 5, 10, 0, 1441}}, {"BroadcastEventWarningMessage", "w"}},
         {10, 5, 1},
         0,
         {warning + "EventWarningMinutes (0) is not from 1 to 1440: it is left out",
          warning + "EventWarningMinutes (1441) is not from 1 to 1440: it is left out"}},
        {{{"EventWarningMinutes", {5}}},
         {5},
         0,
         {warning + "EventWarningMinutes is set without BroadcastEventWarningMessage or "
                    "DiscordEventWarningMessage: no warning is sent"}},
        {{{"Island", {{"RandomEvents", {{"meteor", {{"At", {"Sat 20:00", "25:00"}}}}}}}}},
         {},
         1,
         {warning + "/Island/RandomEvents/meteor/At/1: At (25:00) cannot be read as HH:MM or "
                    "Ddd HH:MM (Mon to Sun): it is left out"}},
    };
    for (const auto& c : cases) {
        const auto outcome = LoadWith(c.patch);
        const auto warnings = WarningsOf(outcome);
        EXPECT_EQ(warnings, c.logged) << c.patch;
        EXPECT_EQ(Read().EventWarningMinutes, c.warnings) << c.patch;
        EXPECT_EQ(Read().RandomEvents.at(0).At.size(), c.fixedTimes) << c.patch;
    }
    // A zone this server cannot look up, or a value of the wrong type, ends the load.
    for (const auto& [patch, pointer] :
         {std::pair{json{{"TimeZone", "Europe/Berln"}}, "/TimeZone"},
          {json{{"EventWarningMinutes", {"5"}}}, "/EventWarningMinutes/0"},
          {json{{"KeepScheduleAcrossRestarts", "yes"}}, "/KeepScheduleAcrossRestarts"}}) {
        json config = BaseConfig();
        config.merge_patch(patch);
        EXPECT_EQ(Load(config).pointer, pointer) << patch;
    }
}

TEST_F(ConfigReaderTest, WhatPlayersSeeAndAskIsReadOrWarnedOf) {
    struct Case {
        json patch;
        quorvane::AnnouncementWay way;
        double seconds;
        double scale;
        std::uint32_t colour;
        std::string command;
        std::vector<std::string> logged;
    };
    const std::string warning = "[Quorvane][warning] ";
    using Way = quorvane::AnnouncementWay;
    const Case cases[] = {
        {json::object(), Way::Console, 10, 1.5, 0xFFFFFF, "", {}},
        {{{"PlayerAnnouncements", "quorvane"},
          {"NotificationSeconds", 4.5},
          {"NotificationScale", 3},
          {"NotificationColor", "#e67E22"},
          {"PlayerCommand", "/event"}},
         Way::Quorvane,
         4.5,
         3,
         0xE67E22,
         "/event",
         {}},
        {{{"PlayerAnnouncements", "Quorvane"},
          {"NotificationSeconds", 0},
          {"NotificationScale", 11},
          {"NotificationColor", "E67E22"},
          {"PlayerCommand", "/next event"}},
         Way::Console,
         10,
         1.5,
         0xFFFFFF,
         "",
         {warning + R"(PlayerAnnouncements (Quorvane) is neither "console" nor "quorvane"; )"
                    R"("console" is used)",
          warning + "NotificationSeconds (0) is not above 0 and at most 600; 10 is used",
          warning + "NotificationScale (11) is not above 0 and at most 10; 1.5 is used",
          warning + R"(NotificationColor (E67E22) is not "#RRGGBB"; white is used)",
          warning + "PlayerCommand (/next event) is not one word: players type a command as "
                    "one; there is none"}},
    };
    for (const auto& c : cases) {
        const auto outcome = LoadWith(c.patch);
        EXPECT_EQ(WarningsOf(outcome), c.logged) << c.patch;
        const auto& s = Read();
        EXPECT_EQ(s.PlayerAnnouncements, c.way) << c.patch;
        EXPECT_EQ(s.NotificationSeconds, c.seconds) << c.patch;
        EXPECT_EQ(s.NotificationScale, c.scale) << c.patch;
        EXPECT_EQ(s.NotificationColor, c.colour) << c.patch;
        EXPECT_EQ(s.PlayerCommand, c.command) << c.patch;
    }
    // A value of the wrong type ends the load, as any setting's.
    for (const auto& [patch, pointer] :
         {std::pair{json{{"PlayerAnnouncements", true}}, "/PlayerAnnouncements"},
          {json{{"NotificationSeconds", "10"}}, "/NotificationSeconds"},
          {json{{"AnnouncementSender", 1}}, "/AnnouncementSender"}}) {
        json config = BaseConfig();
        config.merge_patch(patch);
        EXPECT_EQ(Load(config).pointer, pointer) << patch;
    }
}

TEST_F(ConfigReaderTest, NumbersConvertLikeTheJsonLibrary) {
    json config = BaseConfig();
    config["Island"]["RconSettings"]["RconPort"] = 27020.9;
    config["Island"]["StartEventOnBootSettings"]["MinimumTimeToWait"] = true;
    config["Island"]["StartEventOnBootSettings"]["MaximumTimeToWait"] = -3.7;
    ASSERT_FALSE(Load(config).error);
    EXPECT_EQ(Read().RconSettings.RconPort, 27020);
    EXPECT_EQ(Read().MinimumTimeToWait, 1);
    EXPECT_EQ(Read().MaximumTimeToWait, -3);
}

// The library would keep an integer's low 32 bits (4294994316 as port 27020) and cast such a
// float, which is undefined; the load ends, naming the value.
TEST_F(ConfigReaderTest, ANumberBeyondA32BitIntegerEndsTheLoad) {
    struct Case {
        json patch;  // merged into the base config
        const char* value;
        const char* pointer;
    };
    const Case cases[] = {
        {{{"Island", {{"RconSettings", {{"RconPort", 1e39}}}}}},
         "1e+39",
         "/Island/RconSettings/RconPort"},
        {{{"Island", {{"StartEventOnBootSettings", {{"MaximumTimeToWait", 2147483648.0}}}}}},
         "2147483648.0",
         "/Island/StartEventOnBootSettings/MaximumTimeToWait"},
        {{{"Island", {{"TimeBetweenEvents", {{"MinimumTimeToNextEvent", -2147483649.0}}}}}},
         "-2147483649.0",
         "/Island/TimeBetweenEvents/MinimumTimeToNextEvent"},
        {{{"Other",
           {{"RconSettings",
             {{"RconIP", "10.0.0.2"}, {"RconPort", -1e300}, {"RconPassword", "p"}}}}}},
         "-1e+300",
         "/Other/RconSettings/RconPort"},
        {{{"Island", {{"RconSettings", {{"RconPort", 4294994316}}}}}},
         "4294994316",
         "/Island/RconSettings/RconPort"},
        {{{"Island", {{"TimeBetweenEvents", {{"MaximumTimeToNextEvent", 3000000000}}}}}},
         "3000000000",
         "/Island/TimeBetweenEvents/MaximumTimeToNextEvent"},
        {{{"Island", {{"StartEventOnBootSettings", {{"MinimumTimeToWait", -2147483649}}}}}},
         "-2147483649",
         "/Island/StartEventOnBootSettings/MinimumTimeToWait"},
    };
    for (const auto& c : cases) {
        json config = BaseConfig();
        config.merge_patch(c.patch);
        const Outcome outcome = Load(config);
        ASSERT_TRUE(outcome.error) << c.value;
        EXPECT_EQ(
            *outcome.error,
            std::string("type must be number in the range of a 32-bit integer, but is ") + c.value);
        EXPECT_EQ(outcome.pointer, c.pointer) << c.value;
    }
    // The bounds themselves, and whatever truncates into the range, are still taken.
    json config = BaseConfig();
    config["Island"]["StartEventOnBootSettings"]["MinimumTimeToWait"] = -2147483648.9;
    config["Island"]["StartEventOnBootSettings"]["MaximumTimeToWait"] = 2147483647.9;
    config["Island"]["TimeBetweenEvents"]["MinimumTimeToNextEvent"] = -2147483648;
    config["Island"]["TimeBetweenEvents"]["MaximumTimeToNextEvent"] = 2147483647u;
    ASSERT_FALSE(Load(config).error);
    EXPECT_EQ(Read().MinimumTimeToWait, -2147483647 - 1);
    EXPECT_EQ(Read().MaximumTimeToWait, 2147483647);
    EXPECT_EQ(Read().MinimumTimeToNextEvent, -2147483647 - 1);
    EXPECT_EQ(Read().MaximumTimeToNextEvent, 2147483647);
}

TEST_F(ConfigReaderTest, RandomEventsAndCoordinatesInEveryAcceptedForm) {
    json config = BaseConfig();
    config["Island"]["RandomEvents"] =
        json::array({{{"Eventlabel", "Zero"}, {"RandomCCCs", "1 2 3"}},
                     {{"Eventlabel", "One"}, {"RandomCCCs", {{"b", "4 5 6"}, {"a", "7 8 9"}}}},
                     {{"Eventlabel", "Two"}, {"RandomCCCs", nullptr}},
                     {{"Eventlabel", "Three"}}});
    ASSERT_FALSE(Load(config).error);
    const auto& events = Read().RandomEvents;
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].EventId, "0");
    EXPECT_EQ(events[1].EventId, "1");
    EXPECT_EQ(events[3].EventId, "3");
    ASSERT_EQ(events[0].RandomCCCs.size(), 1u);
    EXPECT_EQ(events[0].RandomCCCs[0].Z, 3.0f);
    ASSERT_EQ(events[1].RandomCCCs.size(), 2u);
    EXPECT_EQ(events[1].RandomCCCs[0].X, 7.0f);  // object members in byte order of names
    EXPECT_TRUE(events[2].RandomCCCs.empty());
    EXPECT_TRUE(events[3].RandomCCCs.empty());
}

TEST_F(ConfigReaderTest, CoordinateStringsNeedThreeWhitespaceSeparatedNumbers) {
    json config = BaseConfig();
    config["Island"]["RandomEvents"] = {{"e",
                                         {{"Eventlabel", "E"},
                                          {"RandomCCCs",
                                           {"1 2 3", "4 5", "6 7 8 9", "10 20 30abc", "10,20,30",
                                            "", "  -1.5e3\t2\n3  ", "1e40 1 1"}}}}};
    const Outcome outcome = Load(config);
    ASSERT_FALSE(outcome.error) << *outcome.error;
    const auto& coordinates = Read().RandomEvents[0].RandomCCCs;
    ASSERT_EQ(coordinates.size(), 4u);
    EXPECT_EQ(coordinates[0].X, 1.0f);
    EXPECT_EQ(coordinates[1].X, 6.0f);
    EXPECT_EQ(coordinates[1].Z, 8.0f);
    EXPECT_EQ(coordinates[2].Z, 30.0f);
    EXPECT_EQ(coordinates[3].X, -1500.0f);
    const std::vector<std::string> warnings(outcome.lines.begin() + 2, outcome.lines.end());
    EXPECT_EQ(
        warnings,
        (std::vector<std::string>{
            "[Quorvane][warning] Invalid coordinate string (less than 3 numbers): 4 5",
            "[Quorvane][warning] Invalid coordinate string (less than 3 numbers): 10,20,30",
            "[Quorvane][warning] Invalid coordinate string (less than 3 numbers): ",
            "[Quorvane][warning] Invalid coordinate string (less than 3 numbers): 1e40 1 1"}));
}

TEST_F(ConfigReaderTest, NoRandomEventsMeansNoEventsAndNoWarning) {
    json config = BaseConfig();
    config["Island"].erase("RandomEvents");
    const Outcome outcome = Load(config);
    ASSERT_FALSE(outcome.error);
    EXPECT_TRUE(Read().RandomEvents.empty());
    EXPECT_EQ(outcome.lines.size(), 2u);
}

TEST_F(ConfigReaderTest, ReversedTimeBoundsAreKeptWithOneWarningEach) {
    json config = BaseConfig();
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 10},
                                                    {"MaximumTimeToWait", 5}};
    config["Island"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 7},
                                             {"MaximumTimeToNextEvent", 7}};
    const Outcome outcome = Load(config);
    ASSERT_FALSE(outcome.error);
    EXPECT_EQ(Read().MinimumTimeToWait, 10);
    EXPECT_EQ(Read().MaximumTimeToWait, 5);
    EXPECT_EQ(outcome.lines, (std::vector<std::string>{
                                 "[Quorvane][info] Server Key: Island",
                                 "[Quorvane][info] Server Label: The Island",
                                 "[Quorvane][warning] MinimumTimeToWait (10) is greater than "
                                 "MaximumTimeToWait (5); the two are swapped when drawn"}));
}

// The library's message as the log has it, and the JSON pointer of the value at fault.
TEST_F(ConfigReaderTest, WrongTypesEndTheLoadWithTheLibrarysMessageAndTheValuesPointer) {
    struct Case {
        const char* what;
        json patch;  // merged into the base config
        const char* error;
        const char* pointer;
    };
    const Case cases[] = {
        {"Debug as 1",
         {{"Debug", 1}},
         "[json.exception.type_error.302] type must be boolean, but is number",
         "/Debug"},
        {"colour as a number",
         {{"DiscordWebhookColor", 255}},
         "[json.exception.type_error.302] type must be string, but is number",
         "/DiscordWebhookColor"},
        {"webhook missing",
         {{"DiscordWebhook", nullptr}},
         "[json.exception.type_error.302] type must be string, but is null",
         "/DiscordWebhook"},
        {"port as text",
         {{"Island", {{"RconSettings", {{"RconPort", "27020"}}}}}},
         "[json.exception.type_error.302] type must be number, but is string",
         "/Island/RconSettings/RconPort"},
        {"minutes as null",
         {{"Island", {{"TimeBetweenEvents", nullptr}}}},
         "[json.exception.type_error.302] type must be number, but is null",
         "/Island/TimeBetweenEvents/MinimumTimeToNextEvent"},
        {"section value a string",
         {{"Island", {{"RconSettings", "x"}}}},
         "[json.exception.type_error.305] cannot use operator[] with a string argument with "
         "string",
         "/Island/RconSettings"},
        {"RandomEvents a number",
         {{"Island", {{"RandomEvents", 3}}}},
         "[json.exception.type_error.305] cannot use operator[] with a string argument with "
         "number",
         "/Island/RandomEvents"},
        {"event not an object",
         {{"Island", {{"RandomEvents", {{"e", "text"}}}}}},
         "[json.exception.type_error.305] cannot use operator[] with a string argument with "
         "string",
         "/Island/RandomEvents/e"},
        {"label missing",
         {{"Island", {{"RandomEvents", {{"e/x", {{"RandomCCCs", {"1 2 3"}}}}}}}}},
         "[json.exception.type_error.302] type must be string, but is null",
         "/Island/RandomEvents/e~1x/Eventlabel"},
        {"coordinates as numbers",
         {{"Island",
           {{"RandomEvents", {{"e", {{"Eventlabel", "E"}, {"RandomCCCs", {"1 2 3", 2}}}}}}}}},
         "[json.exception.type_error.302] type must be string, but is number",
         "/Island/RandomEvents/e/RandomCCCs/1"},
        {"coordinates as a number",
         {{"Island", {{"RandomEvents", {{"e", {{"Eventlabel", "E"}, {"RandomCCCs", 5}}}}}}}},
         "[json.exception.type_error.302] type must be string, but is number",
         "/Island/RandomEvents/e/RandomCCCs"},
        {"object that is no section",
         {{"Other", {{"Serverlabel", "x"}}}},
         "[json.exception.type_error.302] type must be string, but is null",
         "/Other/RconSettings/RconIP"},
    };
    for (const auto& c : cases) {
        json config = BaseConfig();
        config.merge_patch(c.patch);
        const Outcome outcome = Load(config);
        ASSERT_TRUE(outcome.error) << c.what;
        EXPECT_EQ(*outcome.error, c.error) << c.what;
        EXPECT_EQ(outcome.pointer, c.pointer) << c.what;
    }
}

TEST_F(ConfigReaderTest, MissingOwnSectionIsLoggedThenEndsTheLoad) {
    for (const std::string key : {"island", "", "Nowhere"}) {
        host_.ClearLines();
        const Outcome outcome = Load(BaseConfig(), key);
        ASSERT_TRUE(outcome.error) << key;
        EXPECT_EQ(*outcome.error,
                  "[json.exception.type_error.302] type must be string, but is null");
        EXPECT_EQ(outcome.lines,
                  (std::vector<std::string>{"[Quorvane][info] Server Key: " + key,
                                            "[Quorvane][error] Server Key not found in config"}));
    }
}

TEST_F(ConfigReaderTest, DocumentsThatAreNoConfigEndTheLoadBeforeTheKeyIsRead) {
    struct Case {
        const char* what;
        std::string text;
        const char* errorPrefix;
    };
    const Case cases[] = {
        {"an array", "[1, 2]", "[json.exception.type_error.306] cannot use value() with array"},
        {"empty file", "", "[json.exception.parse_error.101] parse error at line 1, column 1"},
        {"comment", "{\n// note\n\"Debug\": true}",
         "[json.exception.parse_error.101] parse error at line 2, column 1"},
        {"trailing comma", R"({"Debug": true,})",
         "[json.exception.parse_error.101] parse error at line 1, column 16"},
        {"lone byte above 127", "{\"Debug\": true, \"x\": \"caf\xE9\"}",
         "[json.exception.parse_error.101] parse error at line 1, column 27: syntax error while "
         "parsing value - invalid string: ill-formed UTF-8 byte"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = LoadText(c.text);
        ASSERT_TRUE(outcome.error) << c.what;
        EXPECT_TRUE(outcome.error->starts_with(c.errorPrefix)) << c.what << ": " << *outcome.error;
        EXPECT_FALSE(outcome.keyAsked) << c.what;
        EXPECT_TRUE(outcome.lines.empty()) << c.what;
    }
}

TEST_F(ConfigReaderTest, ByteOrderMarkAndTextAfterTheDocumentAreAccepted) {
    const Outcome withBom = LoadText("\xEF\xBB\xBF" + BaseConfig().dump());
    EXPECT_FALSE(withBom.error) << *withBom.error;
    const Outcome trailing = LoadText(BaseConfig().dump() + "\n garbage // {");
    EXPECT_FALSE(trailing.error) << *trailing.error;
    EXPECT_EQ(Read().Serverlabel, "The Island");
}

TEST_F(ConfigReaderTest, MissingFileEndsTheLoadBeforeAnythingIsRead) {
    std::filesystem::remove(host_.Dir().PluginDir() / "config.json");
    const Outcome outcome = LoadFile();
    ASSERT_TRUE(outcome.error);
    EXPECT_TRUE(outcome.error->starts_with("Cannot open ")) << *outcome.error;
    EXPECT_FALSE(outcome.keyAsked);
}

}  // namespace
