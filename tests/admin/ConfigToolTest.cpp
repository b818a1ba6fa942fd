// quorvane-config as admins run it: its verdicts on broken cluster files, its preview against
// what the running plugin sends for the same file, and its test broadcast with a server down.

#include <gtest/gtest.h>

#include <numeric>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "ArgvRecord.h"
#include "BackgroundProcess.h"
#include "Process.h"
#include "Receiver.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "TestListener.h"
#include "events/Calendar.h"
#include "history/EventRecord.h"

namespace {

using nlohmann::json;
using Lines = std::vector<std::string>;

json Cluster() {
    return json::parse(R"({
      "DiscordWebhook": "https://discord.example/api/webhooks/1/x",
      "DiscordWebhookColor": "15105570",
      "DiscordBroadcastHeader": "{Eventlabel}",
      "DiscordBroadcastMessage": "{Eventlabel} on {Serverlabel} at {Lat} / {Lon}",
      "BroadcastStartEventMessage": "ServerChat {Eventlabel} started on {Serverlabel}",
      "ServerEventsCommand": "StartWorldEvent",
      "MCRconPath": "rcon",
      "Island": {
        "Serverlabel": "The Island",
        "RconSettings": {"RconIP": "127.0.0.1", "RconPort": 27020, "RconPassword": "pw"},
        "StartEventOnBootSettings": {"MinimumTimeToWait": 10, "MaximumTimeToWait": 20},
        "TimeBetweenEvents": {"MinimumTimeToNextEvent": 60, "MaximumTimeToNextEvent": 120},
        "RandomEvents": {"meteor": {"Eventlabel": "Meteor", "RandomCCCs": ["50000 -50000 0"]}}
      }
    })");
}

struct Run {
    int exit;
    Lines lines;
};

Run Tool(const testing_support::ServerDir& dir, std::vector<std::string> arguments) {
    const auto result = testing_support::RunProcess(QUORVANE_CONFIG_FILE, arguments, dir.Path(),
                                                    std::chrono::seconds(60));
    Run run{result.exitCode, {}};
    std::istringstream text(result.output);
    for (std::string line; std::getline(text, line);) {
        run.lines.push_back(line);
    }
    return run;
}

TEST(ConfigToolTest, CheckGivesEachBrokenFileItsVerdict) {
    struct Case {
        const char* what;
        json patch;  // merged into the cluster; a string: the whole file
        int exit;
        std::string line;  // the line that must be in the output
    };
    const std::string longLabel(4100, 'x');
    const Case cases[] = {
        {"clean", json::object(), 0, "Island: active"},
        {"posts through the own client", {{"DiscordVerifiedTransport", true}}, 0, "Island: active"},
        {"a typo in an optional key",
         {{"Debugg", true}},
         1,
         "warning: /Debugg: unknown key; the plugin ignores it (did you mean \"Debug\"?)"},
        {"a typo in a section",
         {{"Island", {{"RandomEvent", json::object()}}}},
         1,
         "warning: /Island/RandomEvent: unknown key; the plugin ignores it (did you mean "
         "\"RandomEvents\"?)"},
        {"a port as text",
         {{"Island", {{"RconSettings", {{"RconPort", "27020"}}}}}},
         2,
         "Island: inactive: /Island/RconSettings/RconPort: type must be number, but is string"},
        {"a port beyond 32 bits, whose low 32 bits are 27020",
         {{"Island", {{"RconSettings", {{"RconPort", 4294994316}}}}}},
         2,
         "Island: inactive: /Island/RconSettings/RconPort: type must be number in the range of a "
         "32-bit integer, but is 4294994316"},
        {"a required key missing",
         {{"MCRconPath", nullptr}},
         2,
         "Island: inactive: /MCRconPath: type must be string, but is null"},
        {"no client path, which the built-in client needs not",
         {{"MCRconPath", nullptr}, {"Island", {{"RconClient", "builtin"}}}},
         0,
         "Island: active"},
        {"a client the plugin does not know",
         {{"RconClient", "built-in"}},
         1,
         R"(warning: Island: RconClient (built-in) is neither "external" nor "builtin"; "external" )"
         "is used"},
        {"an announcement that no player sees",
         {{"BroadcastStartEventMessage", "{Eventlabel} started on {Serverlabel}"}},
         1,
         "warning: BroadcastStartEventMessage does not begin with ServerChat or Broadcast: a "
         "server takes it for an unknown command and no player sees it"},
        {"a countdown warning that no player sees",
         {{"EventWarningMinutes", {10}},
          {"BroadcastEventWarningMessage", "{Eventlabel} in {Minutes} minute(s)"}},
         1,
         "warning: BroadcastEventWarningMessage does not begin with ServerChat or Broadcast: a "
         "server takes it for an unknown command and no player sees it"},
        {"countdown warnings on Discord only, none over RCON",
         {{"EventWarningMinutes", {10}},
          {"BroadcastEventWarningMessage", ""},
          {"DiscordEventWarningMessage", "{Eventlabel} {StartsAt}"}},
         0,
         "Island: active"},
        {"a console command in front of a text that players see as written",
         {{"PlayerAnnouncements", "quorvane"}},
         1,
         R"(warning: BroadcastStartEventMessage begins with ServerChat or Broadcast: with )"
         R"(PlayerAnnouncements "quorvane" players see the text as written, that word too)"},
        {"every key of what players see, and a label they see with every letter",
         {{"PlayerAnnouncements", "quorvane"},
          {"BroadcastStartEventMessage", "{Eventlabel} started on {Serverlabel}"},
          {"DiscordKeepUnicode", true},
          {"AnnouncementSender", "H\u00e9raut"},
          {"NotificationSeconds", 8},
          {"NotificationScale", 2},
          {"NotificationColor", "#E67E22"},
          {"PlayerCommand", "/event"},
          {"Island", {{"RandomEvents", {{"meteor", {{"Eventlabel", "Caf\u00e9"}}}}}}}},
         0,
         "Island: active"},
        {"not JSON", "{\"Debug\": tru }", 2,
         "config.json: not a cluster file: parse error at line 1, column 14: syntax error while "
         "parsing value - invalid literal; last read: '\"Debug\": tru '"},
        {"no server section", "{\"Debug\": true}", 2,
         "config.json: not a cluster file: no server section: every server would be inactive"},
        {"no object", "[]", 2,
         "config.json: not a cluster file: not a JSON object: every server would be inactive"},
        {"an event at every tick",
         {{"Island", {{"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 0}}}}}},
         1,
         "warning: Island: MinimumTimeToNextEvent (0) is not above 0: events may start at every "
         "timer "
         "tick"},
        {"a colour Discord refuses",
         {{"DiscordWebhookColor", "#E67E22"}},
         1,
         "warning: DiscordWebhookColor (#E67E22) is not a decimal number from 0 to 16777215: "
         "Discord refuses such posts, or none is made when it is empty"},
        {"a webhook without https",
         {{"DiscordWebhook", "http://discord.example/x"}},
         1,
         "warning: DiscordWebhook is not an https:// address: http://discord.example/x"},
        {"a broadcast too long for RCON",
         {{"Island", {{"RandomEvents", {{"meteor", {{"Eventlabel", longLabel}}}}}}}},
         1,
         "warning: Island: the broadcast, filled, takes up to 4133 bytes; one RCON packet carries "
         "at "
         "most 4086"},
        {"a label that arrives as ?",
         {{"Island", {{"RandomEvents", {{"meteor", {{"Eventlabel", "Caf\u00e9"}}}}}}}},
         1,
         "warning: Island: the label of event meteor holds characters outside ASCII: each of their "
         "bytes "
         "arrives as ?"},
        {"a Discord header over Discord's limit by itself",
         {{"DiscordBroadcastHeader", std::string(2001, 'h')}},
         1,
         "warning: DiscordBroadcastHeader alone has 2001 characters, more than Discord takes "
         "(2000): every post's header is cut to that"},
        {"a label that keeps its letters on Discord only",
         {{"DiscordKeepUnicode", true},
          {"Island", {{"RandomEvents", {{"meteor", {{"Eventlabel", "Caf\u00e9"}}}}}}}},
         1,
         "warning: Island: the label of event meteor holds characters outside ASCII: over RCON "
         "each of their bytes arrives as ?"},
        {"what a filled post puts into its embed: \"Meteor on The Island at -100.000000 / "
         "-100.000000\"",
         json::object(), 0,
         "  a filled Discord post has up to 49 of the 6000 characters Discord takes in all its "
         "embeds"},
        {"a thread id that is no id",
         {{"DiscordThreadId", "general"}},
         1,
         "warning: /DiscordThreadId: \"general\" is not a Discord id (the digits of a number up "
         "to 18446744073709551615); it is left out"},
        {"an image that is no address",
         {{"Island", {{"RandomEvents", {{"meteor", {{"DiscordImageUrl", "m.png"}}}}}}}},
         1,
         "warning: Island: /Island/RandomEvents/meteor/DiscordImageUrl: \"m.png\" is not an "
         "http:// or https:// address; it is left out"},
        {"a warning longer than any wait",
         {{"EventWarningMinutes", {150, 5}}, {"BroadcastEventWarningMessage", "{Minutes}"}},
         1,
         "warning: Island: EventWarningMinutes 150 is not shorter than any wait this server "
         "draws (at most 120 minute(s)): it is never sent"},
        {"a fixed time that cannot be read",
         {{"Island", {{"RandomEvents", {{"meteor", {{"At", {"20:00", "Sat 8pm"}}}}}}}}},
         1,
         "warning: Island: /Island/RandomEvents/meteor/At/1: At (Sat 8pm) cannot be read as "
         "HH:MM or Ddd HH:MM (Mon to Sun): it is left out"},
        {"a time zone that cannot be read",
         {{"TimeZone", "Berlin"}},
         2,
         "Island: inactive: /TimeZone: \"Berlin\" is not a time zone (an IANA name such as "
         "\"Europe/Berlin\")"},
        {"where a time zone comes from",
         {{"TimeZone", "Europe/Berlin"}},
         0,
         "TimeZone Europe/Berlin: from the system's zone database"},
        {"a coordinate without three numbers",
         {{"Island", {{"RandomEvents", {{"meteor", {{"RandomCCCs", {"1 2", "3 4 5"}}}}}}}}},
         1,
         "warning: Island: Invalid coordinate string (less than 3 numbers): 1 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::ServerDir dir;
        json config = Cluster();
        if (c.patch.is_string()) {
            dir.WriteFile("config.json", c.patch.get<std::string>());
        } else {
            config.merge_patch(c.patch);
            dir.WriteFile("config.json", config.dump());
        }
        const auto run = Tool(dir, {"check", "config.json"});
        EXPECT_EQ(run.exit, c.exit);
        EXPECT_NE(std::find(run.lines.begin(), run.lines.end(), c.line), run.lines.end())
            << testing::PrintToString(run.lines);
    }
}

TEST(ConfigToolTest, CheckNamesTheServersAndCoordinatesOffTheMap) {
    testing_support::ServerDir dir;
    json config = Cluster();
    config["Island"]["RandomEvents"]["meteor"]["RandomCCCs"] = {"50000 -50000 0", "0 0 0"};
    config["Scorched"] = {
        {"RconSettings", {{"RconIP", "x"}, {"RconPort", 1}, {"RconPassword", "y"}}}};
    dir.WriteFile("config.json", config.dump());
    // Two entries: the main map, and a cave that holds neither coordinate's Z.
    dir.WriteFile("map.json", R"({"entries": [
        {"PlayableMin": [0, -100000, -10], "PlayableMax": [100000, 0, 10],
         "OriginMin": [0, -100000], "OriginMax": [100000, 0]},
        {"PlayableMin": [-10, -10, 100], "PlayableMax": [10, 10, 200],
         "OriginMin": [-10, -10], "OriginMax": [10, 10]}]})");
    const auto run = Tool(dir, {"check", "config.json", "--map-data", "map.json", "--json"});
    EXPECT_EQ(run.exit, 2);
    std::string text;
    for (const auto& line : run.lines) {
        text += line + "\n";
    }
    const auto report = json::parse(text);
    EXPECT_EQ(report["exit"], 2);
    // The longest filled message, "Meteor on The Island at 50.000000 / 50.000000".
    EXPECT_EQ(report["servers"], json::parse(R"([{"key": "Island", "active": true,
                   "discord_embed_characters": 45},
                  {"key": "Scorched", "active": false, "pointer": "/Scorched/Serverlabel",
                   "reason": "type must be string, but is null",
                   "logged": "[json.exception.type_error.302] type must be string, but is null"}])"));
    EXPECT_EQ(report["warnings"], json::parse(R"([{"server": "Island",
                  "text": "coordinate 0 0 0 of event meteor lies in no map entry"}])"));
}

// The preview of a one-coordinate event against what the running plugin sends for the same
// file on the same map: the console command, every client's arguments (its countdown warning's
// and its end's too) and the Discord bodies; and its next fixed time.
TEST(ConfigToolTest, PreviewIsWhatTheRunningPluginSends) {
    webhook::Receiver receiver;
    receiver.Start();
    testing_support::ServerDir dir;
    testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
    json config = Cluster();
    config["MCRconPath"] = RECORD_ARGS_FILE;
    config["DiscordWebhook"] = receiver.BaseUrl() + "/api/webhooks/1/x";
    config["BroadcastStartEventMessage"] = "\"{Eventlabel}\" on {Serverlabel}\nat {Lat} / {Lon}";
    config["Island"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 2},
                                                    {"MaximumTimeToWait", 2}};
    config["Island"]["RandomEvents"]["meteor"]["RandomCCCs"] = {"50000 -50000 0.1"};
    config["Island"]["RandomEvents"]["meteor"]["At"] = {"Mon 08:00"};
    config["EventWarningMinutes"] = {1};
    config["BroadcastEventWarningMessage"] = "{Eventlabel} in {Minutes} at {Lat}";
    // It ends a game minute after its start, within the run.
    config["Island"]["RandomEvents"]["meteor"]["DurationMinutes"] = 1;
    config["Island"]["RandomEvents"]["meteor"]["EndCommand"] = "Stop \"{Eventlabel}\" at {Lat}";
    config["BroadcastEndEventMessage"] = "ServerChat {Eventlabel} over at {Lon}";
    config["DiscordEndEventMessage"] = "{Eventlabel} ended at {Lon}";
    config["Other"] = {
        {"RconSettings", {{"RconIP", "127.0.0.2"}, {"RconPort", 9}, {"RconPassword", "o w"}}}};
    dir.WriteConfig(config.dump());
    dir.WriteFile("map.json", R"({"entries": [
        {"PlayableMin": [-1e6, -1e6, -1e6], "PlayableMax": [1e6, 1e6, 1e6],
         "OriginMin": [-100000, -100000], "OriginMax": [100000, 300000]}]})");

    const auto server = testing_support::RunProcess(
        testing_support::GameServerProgram(),
        {"-serverkey=Island", "--time-scale=600", "--run-for=1", "--map-data=map.json"},
        dir.Path());
    ASSERT_EQ(server.exitCode, 0) << server.output;
    ASSERT_TRUE(receiver.WaitForRecords(2, std::chrono::seconds(30)));

    const auto run = Tool(dir, {"preview", (dir.PluginDir() / "config.json").string(), "--key",
                                "Island", "--map-data", "map.json", "--json"});
    ASSERT_EQ(run.exit, 0);
    std::string text;
    for (const auto& line : run.lines) {
        text += line + "\n";
    }
    const auto preview = json::parse(text);
    ASSERT_EQ(preview.size(), 1u);
    std::vector<Lines> expected = {preview[0]["command"]["arguments"]};
    EXPECT_EQ(expected[0].back(), "StartWorldEvent meteor 50000 -50000 0.1");
    for (const auto& broadcast : preview[0]["broadcasts"]) {
        expected.push_back(broadcast["arguments"]);
    }
    ASSERT_EQ(preview[0]["warnings"].size(), 1u);
    for (const auto& warning : preview[0]["warnings"][0]["broadcasts"]) {
        expected.push_back(warning["arguments"]);
    }
    const auto& end = preview[0]["end"];
    expected.push_back(end["command"]["arguments"]);
    EXPECT_TRUE(expected.back().back().starts_with("Stop \"Meteor\" at ")) << end;
    ASSERT_EQ(end["broadcasts"].size(), 2u);
    for (const auto& broadcast : end["broadcasts"]) {
        expected.push_back(broadcast["arguments"]);
    }
    for (auto& arguments : expected) {
        arguments.erase(arguments.begin());  // the program, which the record leaves out
    }
    auto sent = record.Arguments();
    ASSERT_EQ(sent.size(), expected.size());
    std::sort(sent.begin(), sent.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(receiver.Records()[0].body, preview[0]["discord"]["body"]);
    EXPECT_EQ(receiver.Records()[1].body, end["discord"]["body"]);
    const auto next = quorvane::NextFixedTime(
        {*quorvane::ParseFixedTime("Mon 08:00")}, quorvane::platform::Zone(),
        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    EXPECT_EQ(preview[0]["at"]["next"], quorvane::UtcText(*next));
    // The coordinate as the command and the history write it.
    std::ifstream history(dir.PluginDir() / "events.jsonl");
    std::string line;
    ASSERT_TRUE(std::getline(history, line));
    EXPECT_EQ(preview[0]["coordinate"].dump(), "[50000.0,-50000.0,0.1]");
    EXPECT_EQ(json::parse(line)["coordinate"], preview[0]["coordinate"]);
    receiver.Stop();
}

TEST(ConfigToolTest, SendTestReportsEachServerAndTheWebhook) {
    webhook::Receiver receiver;
    receiver.Start();
    rcon_testing::TestListener live("pw");
    rcon_testing::TestListener wrongPassword("other");
    const int down = rcon_testing::UnusedPort();
    testing_support::ServerDir dir;
    json config = Cluster();
    config["MCRconPath"] = RCON_CLIENT_FILE;
    config["DiscordWebhook"] = receiver.BaseUrl() + "/api/webhooks/1/x";
    config["Island"]["RconSettings"]["RconPort"] = live.Port();
    config["Down"] = {
        {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", down}, {"RconPassword", "pw"}}}};
    config["Guarded"] = {
        {"RconSettings",
         {{"RconIP", "127.0.0.1"}, {"RconPort", wrongPassword.Port()}, {"RconPassword", "pw"}}}};
    config.merge_patch({{"DiscordMentionRoleIds", {"111"}},
                        {"DiscordThreadId", "333"},
                        {"DiscordUsername", "Event Bot"},
                        {"DiscordTimestamp", true}});
    config["Island"]["RandomEvents"]["meteor"]["DiscordImageUrl"] = "https://example.org/m.png";
    dir.WriteFile("config.json", config.dump());

    const auto run =
        Tool(dir, {"send-test", "config.json", "--key", "Island", "--text", "Hello \"all\""});
    EXPECT_EQ(run.exit, 1);
    const auto has = [&](const std::string& text) {
        return std::any_of(run.lines.begin(), run.lines.end(), [&](const std::string& line) {
            return line.find(text) != std::string::npos;
        });
    };
    EXPECT_TRUE(has("Down (127.0.0.1:" + std::to_string(down) + ")"))
        << testing::PrintToString(run.lines);
    EXPECT_TRUE(has("refused (exit code 3: no connection)"));
    EXPECT_TRUE(has("wrong password (exit code 4)"));
    EXPECT_TRUE(has("Island (127.0.0.1:" + std::to_string(live.Port()) + ")"));
    EXPECT_TRUE(has("delivered"));
    EXPECT_TRUE(has("webhook: delivered"));
    ASSERT_EQ(live.Commands().size(), 1u);
    EXPECT_EQ(live.Commands()[0].command, "Hello \"all\"");
    ASSERT_TRUE(receiver.WaitForRecords(1, std::chrono::seconds(10)));
    const auto records = receiver.Records();
    // The post with every part the plugin's would have, accepted as Discord accepts it.
    EXPECT_EQ(records[0].status, 204);
    EXPECT_EQ(records[0].target, "/api/webhooks/1/x?thread_id=333");
    auto body = json::parse(records[0].body);
    EXPECT_TRUE(body["embeds"][0]["timestamp"].get<std::string>().ends_with("Z"));
    body["embeds"][0].erase("timestamp");
    EXPECT_EQ(body, json::parse(R"({"allowed_mentions":{"parse":[],"roles":["111"]},
        "content":"<@&111> Quorvane test","username":"Event Bot",
        "embeds":[{"color":"15105570","description":"Hello \"all\"",
                   "image":{"url":"https://example.org/m.png"}}]})"));
    const auto& headers = records[0].headers;
    EXPECT_NE(std::find(headers.begin(), headers.end(),
                        std::pair<std::string, std::string>(
                            "User-Agent",
                            "Quorvane (https://github.com/quorvane/quorvane, "
                            "quorvane-config)")),
              headers.end());

    // The built-in client, as the file names it, and no client program at all.
    config["RconClient"] = "builtin";
    config.erase("MCRconPath");
    dir.WriteFile("config.json", config.dump());
    const auto builtin = Tool(dir, {"send-test", "config.json", "--key", "Island", "--text", "x"});
    EXPECT_EQ(builtin.exit, 1);
    const auto line = [&](const std::string& key, int port) {
        return key + " (127.0.0.1:" + std::to_string(port) + ")";
    };
    for (const auto& [server, outcome] :
         {std::pair{line("Down", down), "no connection: Connection refused"},
          std::pair{line("Guarded", wrongPassword.Port()), "wrong password"},
          std::pair{line("Island", live.Port()), "delivered"}}) {
        EXPECT_TRUE(std::any_of(builtin.lines.begin(), builtin.lines.end(),
                                [&](const auto& l) {
                                    return l.starts_with(server) &&
                                           l.ends_with("  " + std::string(outcome));
                                }))
            << server << ": " << testing::PrintToString(builtin.lines);
    }
    EXPECT_EQ(live.Commands().back().command, "x");

    // Without a colour the plugin posts nothing: neither does the test.
    config["DiscordWebhookColor"] = "";
    dir.WriteFile("config.json", config.dump());
    const auto uncoloured = Tool(dir, {"send-test", "config.json", "--key", "Island"});
    EXPECT_NE(std::find(uncoloured.lines.begin(), uncoloured.lines.end(),
                        "webhook: none (no DiscordWebhookColor)"),
              uncoloured.lines.end())
        << testing::PrintToString(uncoloured.lines);
    EXPECT_EQ(receiver.Records().size(), 2u);  // the two runs before
    receiver.Stop();
}

}  // namespace

namespace {

// What a server's history says, per event and per kind of skip; the old file first.
TEST(ConfigToolTest, HistorySaysHowOftenEachEventRanAndWhyOthersDidNot) {
    testing_support::ServerDir dir;
    const auto line = [](const char* time, const char* outcome, const std::string& rest) {
        return std::string(R"({"time":")") + time + R"(","server":"Island","trigger":"timer",)" +
               R"("outcome":")" + outcome + "\"" + rest + "}\n";
    };
    const std::string meteor = R"(,"event":"meteor","label":"Meteor","rcon":{},"discord":"none")";
    const std::string supply = R"(,"event":"supply","label":"Drop","rcon":{},"discord":"none")";
    dir.WriteFile("events.1.jsonl",
                  line("2026-12-08T10:00:00Z", "started", meteor) +
                      line("2026-12-08T10:10:00Z", "skipped",
                           R"(,"skip":"players","reason":"0 player(s) online, 2 needed")"));
    dir.WriteFile(
        "events.jsonl",
        line("2026-12-08T10:20:00Z", "started", supply) +
            line("2026-12-08T10:30:00Z", "started", meteor) +
            line("2026-12-08T10:40:00Z", "started", meteor) +
            // Ends: no due events, but each meteor's duration.
            line("2026-12-08T10:41:00Z", "ended", meteor + R"(,"ranMinutes":1.5)") +
            line("2026-12-08T10:42:00Z", "ended", meteor + R"(,"ranMinutes":0.5)") +
            "not a record\n" +
            // Before any clock the standard library keeps.
            line("1013-12-08T10:45:00Z", "started", meteor) +
            line("2026-12-08T10:50:00Z", "skipped",
                 R"(,"skip":"hours","reason":"04:00 is outside ActiveHours 18:00-23:00")") +
            line("2026-12-08T11:00:00Z", "not started",
                 meteor + R"(,"reason":"RCON delivery is stopping")"));
    const auto run = Tool(dir, {"history", "events.1.jsonl", "events.jsonl"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.lines, (Lines{"events.1.jsonl: 7 due event(s) from 2026-12-08T10:00:00Z to "
                                "2026-12-08T11:00:00Z: 4 started, 1 not started, 2 skipped",
                                "meteor (Meteor): 3 started, 75.0 %, last 2026-12-08T10:40:00Z, "
                                "2 ended, ran 1 min on average",
                                "supply (Drop): 1 started, 25.0 %, last 2026-12-08T10:20:00Z",
                                "skipped 1 time(s): outside ActiveHours",
                                "skipped 1 time(s): fewer players online than MinimumPlayersOnline",
                                "2 line(s) that are no record"}));
    const auto asJson = Tool(dir, {"history", "events.jsonl", "--json"});
    const auto summary =
        json::parse(std::accumulate(asJson.lines.begin(), asJson.lines.end(), std::string()));
    EXPECT_EQ(summary["started"], 3);
    EXPECT_EQ(summary["events"][0]["event"], "meteor");
    EXPECT_EQ(summary["events"][0]["share"], 2.0 / 3.0);
    EXPECT_EQ(summary["skips"]["hours"], 1);
    EXPECT_EQ(summary["due"], 5);
    EXPECT_EQ(summary["ended"], 2);
    EXPECT_EQ(summary["events"][0]["ranMinutes"], 2.0);
}

}  // namespace

namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Histories of several servers and a rotated file read together, positions from map data or
// from the game's answer to quorvane.coords, times on the cluster file's clock, and what the
// tool could not read said on the page instead of stopping it.
TEST(ConfigToolTest, ReportShowsEveryServerFromItsHistoriesAndPositions) {
    testing_support::ServerDir dir;
    json config = Cluster();
    config["TimeZone"] = "Europe/Berlin";
    config["Island"]["RandomEvents"]["supply"] = {{"Eventlabel", "<b>Drop</b> & \"more\""},
                                                  {"RandomCCCs", {"1000 -2000 350", "500000 0 0"}}};
    config["Scorched"] = config["Island"];
    config["Scorched"]["RandomEvents"] = {
        {"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"0 0 0"}}}}};
    config["Center"] = {
        {"RconSettings", {{"RconIP", "127.0.0.1"}, {"RconPort", 1}, {"RconPassword", "x"}}}};
    dir.WriteFile("config.json", config.dump());
    dir.WriteFile("map.json", R"({"entries": [{"PlayableMin": [-400000, -400000, -100000],
        "PlayableMax": [400000, 400000, 100000], "OriginMin": [-400000, -400000],
        "OriginMax": [400000, 400000]}]})");
    dir.WriteFile("coords.txt", "storm (Storm) 0 0 0: Lat 10.000000, Lon 20.000000\n");
    const auto line = [](const char* time, const char* server, const std::string& rest) {
        return std::string(R"({"time":")") + time + R"(","server":")" + server + "\"," + rest +
               "}\n";
    };
    dir.WriteFile("events.1.jsonl",
                  line("2026-12-08T09:00:00Z", "Island",
                       R"("outcome":"started","event":"meteor","label":"Meteor",)"
                       R"("coordinate":[50000.0,-50000.0,0.0],"lat":56.25,"lon":43.75)") +
                      "{\"time\": \"cut short by a crash\n");
    dir.WriteFile(
        "events.jsonl",
        line("2026-12-08T10:00:00Z", "Island",
             R"("outcome":"started","event":"supply","label":"x","lat":50.1,"lon":49.8)") +
            line("2026-12-08T11:00:00Z", "Island",
                 R"("outcome":"skipped","skip":"players","reason":"0 player(s) online")") +
            line(
                "2026-12-08T12:00:00Z", "Island",
                R"("outcome":"not started","event":"meteor","reason":"RCON delivery is stopping")") +
            line("2026-12-08T12:30:00Z", "Ghost", R"("outcome":"started","event":"boo")"));
    dir.WriteFile("scorched.jsonl",
                  line("2026-12-08T13:00:00Z", "Scorched",
                       R"("outcome":"started","event":"storm","lat":10.0,"lon":20.0)"));

    const auto run =
        Tool(dir, {"report", "config.json", "events.1.jsonl", "events.jsonl", "scorched.jsonl",
                   "--map-data", "Island=map.json", "--coords", "Scorched=coords.txt"});
    ASSERT_EQ(run.exit, 0) << testing::PrintToString(run.lines);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_TRUE(run.lines[0].starts_with("Report written to " +
                                         (dir.Path() / "report.html").string() + " ("))
        << run.lines[0];
    std::ifstream file(dir.Path() / "report.html");
    const std::string page((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    for (const std::string shown : {
             "Times are Europe/Berlin time, the cluster file&#39;s TimeZone.",
             "2026-12-08 11:00:00 CET",
             "1 line is no record",
             "<code>events.1.jsonl:2</code> <code>{&quot;time&quot;: &quot;cut short by a crash",
             "&lt;b&gt;Drop&lt;/b&gt; &amp; &quot;more&quot;",
             "<code>500000 0 0</code></div></td><td class=\"n\" data-h=\"Lat\"><div>112.5</div>"
             "</td><td class=\"n\" data-h=\"Lon\"><div>50</div></td><td class=\"n\" "
             "data-h=\"Runs\"><div>0</div></td><td data-h=\"Note\"><div>outside the playable "
             "area; never ran</div></td>",
             "skipped: fewer players online than MinimumPlayersOnline",
             "not started: RCON delivery is stopping",
             "Positions of the coordinates from the answer of quorvane.coords in coords.txt.",
             "The plugin would be inactive on this server: /Center/Serverlabel:",
             "The cluster file has no section of this name",
         }) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
    }
    EXPECT_EQ(page.find("<b>Drop"), std::string::npos);
    EXPECT_EQ(Occurrences(page, "class=\"point ran"), 3u);  // the runs with Lat and Lon
    EXPECT_EQ(Occurrences(page, "class=\"point cfg"), 4u);  // Island's three, Scorched's one

    // Without map data or an answer: no coordinate drawn, and the page says why.
    const auto bare = Tool(dir, {"report", "config.json", "--out", "bare.html"});
    ASSERT_EQ(bare.exit, 0);
    std::ifstream bareFile(dir.Path() / "bare.html");
    const std::string barePage((std::istreambuf_iterator<char>(bareFile)),
                               std::istreambuf_iterator<char>());
    EXPECT_EQ(Occurrences(barePage, "class=\"point"), 0u);
    EXPECT_EQ(Occurrences(barePage, "Nothing gives the positions of the configured coordinates"),
              2u);

    const auto missing = Tool(dir, {"report", "none.json"});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_EQ(missing.lines, Lines{"none.json: not a cluster file: cannot be opened"});
    const auto noHistory = Tool(dir, {"report", "config.json", "gone.jsonl"});
    EXPECT_EQ(noHistory.exit, 3);
    EXPECT_EQ(noHistory.lines, Lines{"quorvane-config: cannot read gone.jsonl"});
    const auto typo = Tool(dir, {"report", "config.json", "--coords", "Islnd=coords.txt"});
    EXPECT_EQ(typo.exit, 3);
    EXPECT_EQ(typo.lines, Lines{"quorvane-config: Islnd=coords.txt: config.json has no server "
                                "section Islnd"});
}

}  // namespace
