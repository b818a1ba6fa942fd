// The report's pieces that a page cannot show plainly: which answer line of quorvane.coords
// belongs to which coordinate, the admin's clock, and when runs become one mark per spot.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>

#include <nlohmann/json.hpp>

#include "CoordsAnswer.h"
#include "HistoryTally.h"
#include "Markup.h"
#include "Report.h"

namespace {

using namespace quorvane;
using namespace quorvane::admin;
using nlohmann::json;

TEST(ReportTest, CoordsAnswerGivesEachConfiguredCoordinateItsPosition) {
    Settings settings;
    settings.RandomEvents = {
        {"meteor", "M\xC3\xA9t\xC3\xA9ore", {{50000, -50000, 1200}, {0.1f, 0, 0}}, 1},
        {"supply", "Drop", {{1000, -2000, 350}}, 1}};
    // As the command answers over RCON (labels in ASCII), once with a log's prefix and a
    // locale's decimal comma; a coordinate without a map; one configured no longer.
    const auto answer = ParseCoordsAnswer(
        "meteor (M??t??ore) 50000 -50000 1200: Lat 56.250000, Lon 43.750000\r\n"
        "[2026.12.09-10.19.48][Quorvane][info] meteor (M??t??ore) 0.1 0 0: Lat 50,000011, "
        "Lon 50,000000, outside the playable area\n"
        "supply (Drop) 1000 -2000 350\n"
        "supply (Drop) 9 9 9: Lat 1.000000, Lon 2.000000\n",
        settings);
    ASSERT_EQ(answer.Positions.size(), 2u);
    const auto& first = answer.Positions.at({0, 0});
    EXPECT_EQ(first.Position.Lat, 56.25);
    EXPECT_EQ(first.Position.Lon, 43.75);
    EXPECT_FALSE(first.Outside);
    const auto& second = answer.Positions.at({0, 1});
    EXPECT_EQ(second.Position.Lat, 50.000011);
    EXPECT_TRUE(second.Outside);
    EXPECT_EQ(answer.Unmatched, 1u);
    EXPECT_FALSE(answer.NoMap);

    const auto noMap = ParseCoordsAnswer(
        "No map: the world names no minimap data; Lat and Lon are unknown\n"
        "supply (Drop) 1000 -2000 350\n",
        settings);
    EXPECT_EQ(noMap.NoMap, "the world names no minimap data");
    EXPECT_TRUE(noMap.Positions.empty());
}

TEST(ReportTest, TimesAreOnTheClusterFilesClock) {
    const auto winter = std::chrono::sys_days(std::chrono::year(2026) / 1 / 15) +
                        std::chrono::hours(23) + std::chrono::minutes(30);
    const auto summer = std::chrono::sys_days(std::chrono::year(2026) / 7 / 15) +
                        std::chrono::hours(23) + std::chrono::minutes(30);
    struct Case {
        json document;
        std::string note;
        std::string winter;
        std::string summer;
    };
    const Case cases[] = {
        {json::object(), "Times are UTC: the cluster file sets no TimeZone.",
         "2026-01-15 23:30:00 UTC", "2026-07-15 23:30:00 UTC"},
        {{{"TimeZone", "Europe/Berlin"}},
         "Times are Europe/Berlin time, the cluster file's TimeZone.",
         "2026-01-16 00:30:00 CET",
         "2026-07-16 01:30:00 CEST"},
        {{{"TimeZone", "America/New_York"}},
         "Times are America/New_York time, the cluster file's TimeZone.",
         "2026-01-15 18:30:00 EST",
         "2026-07-15 19:30:00 EDT"},
        {{{"TimeZone", "Mars/Olympus"}},
         "Times are UTC: \"Mars/Olympus\" is not a time zone (an IANA name such as "
         "\"Europe/Berlin\").",
         "2026-01-15 23:30:00 UTC",
         "2026-07-15 23:30:00 UTC"},
        {{{"TimeZone", 1}},
         "Times are UTC: the cluster file's TimeZone is no text.",
         "2026-01-15 23:30:00 UTC",
         "2026-07-15 23:30:00 UTC"},
    };
    for (const auto& c : cases) {
        const auto [zone, note] = ChooseZone(c.document);
        EXPECT_EQ(note, c.note);
        EXPECT_EQ(ClockText(winter, zone), c.winter) << note;
        EXPECT_EQ(ClockText(summer, zone), c.summer) << note;
    }

    // Events per hour of the day across the change to summer time (01:00 UTC on 29 March
    // 2026), read one after the other.
    const TimeZone berlin("Europe/Berlin");
    HistoryTally tally;
    std::size_t line = 0;
    for (const char* time :
         {"2026-03-29T00:30:00Z", "2026-03-29T01:30:00Z", "2026-03-29T23:30:00Z"}) {
        tally.AddLine(
            0, ++line,
            std::string(R"({"server":"Island","outcome":"started","time":")") + time + R"("})",
            berlin);
    }
    std::array<std::size_t, 24> hours{};
    hours[1] = 2;  // 01:30 CET, and 01:30 CEST the next day
    hours[3] = 1;  // 03:30 CEST
    EXPECT_EQ(tally.Servers.at("Island").StartedByHour, hours);
}

// Two files' runs of one server on two spots, tallied apart and merged: each run is a mark up
// to kEachRun runs, beyond that one mark per spot that counts them.
TEST(ReportTest, ManyRunsBecomeOneMarkPerSpot) {
    const TimeZone utc;
    const auto line = [](double lat) {
        return R"({"time":"2026-12-08T10:00:00Z","server":"Island","outcome":"started",)"
               R"("event":"meteor","lat":)" +
               std::to_string(lat) + R"(,"lon":43.75})";
    };
    const json document = json::parse(R"({"Island": {}})");
    constexpr std::size_t kFirst = ServerTally::kEachRun - 30;
    for (const auto& [second, eachRun] : {std::pair{30, true}, std::pair{31, false}}) {
        HistoryTally first;
        HistoryTally later;
        for (std::size_t i = 0; i < kFirst; ++i) {
            first.AddLine(0, i + 1, line(56.25), utc);
        }
        for (int i = 0; i < second; ++i) {
            later.AddLine(1, i + 1, line(20), utc);
        }
        first.Merge(std::move(later));
        const auto report =
            MakeClusterReport("config.json", document, {}, {"events.1.jsonl", "events.jsonl"},
                              std::move(first), utc, "");
        ASSERT_EQ(report.Servers.size(), 1u);
        const auto& server = report.Servers[0];
        EXPECT_EQ(server.EachRun, eachRun);
        if (eachRun) {
            EXPECT_EQ(server.Marks.size(), ServerTally::kEachRun);
        } else {
            ASSERT_EQ(server.Marks.size(), 2u);
            EXPECT_EQ(server.Marks[0].Runs, kFirst);
            EXPECT_EQ(server.Marks[0].Position.Lat, 56.25);
            EXPECT_EQ(server.Marks[1].Runs, 31u);
            EXPECT_EQ(server.UndrawnRuns, 0u);
        }
    }
}

// The runs are set against the shares the weights give among the events that can start: one
// without coordinates never runs, and takes no share from the others; nor does one of weight 0,
// which runs at its fixed times. Ends are no runs, but give each event how long it ran.
TEST(ReportTest, WeightSharesAreAmongTheEventsThatCanStart) {
    const json document = json::parse(R"({
      "DiscordWebhook": "", "DiscordBroadcastMessage": "m", "DiscordBroadcastHeader": "h",
      "DiscordWebhookColor": "1", "ServerEventsCommand": "Start", "MCRconPath": "rcon",
      "BroadcastStartEventMessage": "b",
      "Island": {
        "Serverlabel": "The Island",
        "RconSettings": {"RconIP": "127.0.0.1", "RconPort": 27020, "RconPassword": "pw"},
        "StartEventOnBootSettings": {"MinimumTimeToWait": 1, "MaximumTimeToWait": 1},
        "TimeBetweenEvents": {"MinimumTimeToNextEvent": 1, "MaximumTimeToNextEvent": 1},
        "RandomEvents": {
          "calm": {"Eventlabel": "Calm", "RandomCCCs": [], "Weight": 2},
          "meteor": {"Eventlabel": "Meteor", "RandomCCCs": ["1 2 3"], "Weight": 1},
          "storm": {"Eventlabel": "Storm", "RandomCCCs": ["4 5 6"], "Weight": 3},
          "parade": {"Eventlabel": "Parade", "RandomCCCs": ["7 8 9"], "Weight": 0,
                     "At": "20:00", "DurationMinutes": 30}}}})");
    const TimeZone utc;
    HistoryTally history;
    const std::string parade = R"(,"server":"Island","event":"parade","label":"Parade")";
    history.AddLine(0, 1, R"({"time":"2026-12-08T20:00:00Z","outcome":"started")" + parade + "}",
                    utc);
    history.AddLine(
        0, 2, R"({"time":"2026-12-08T20:30:00Z","outcome":"ended","ranMinutes":30)" + parade + "}",
        utc);
    history.AddLine(
        0, 3, R"({"time":"2026-12-09T20:20:00Z","outcome":"ended","ranMinutes":20)" + parade + "}",
        utc);
    const auto report =
        MakeClusterReport("config.json", document, {}, {}, std::move(history), utc, "");
    ASSERT_EQ(report.Servers.size(), 1u);
    std::map<std::string, std::pair<bool, double>> shares;
    for (const auto& event : report.Servers[0].Events) {
        shares[event.Id] = {event.CanStart, event.WeightShare};
    }
    EXPECT_EQ(shares, (std::map<std::string, std::pair<bool, double>>{{"calm", {false, 0.0}},
                                                                      {"meteor", {true, 0.25}},
                                                                      {"storm", {true, 0.75}},
                                                                      {"parade", {true, 0.0}}}));
    const auto& events = report.Servers[0].Events;
    const auto found = std::find_if(events.begin(), events.end(),
                                    [](const EventLine& event) { return event.Id == "parade"; });
    ASSERT_NE(found, events.end());
    const auto& line = *found;
    EXPECT_EQ(line.Runs, 1u);
    EXPECT_EQ(line.DurationMinutes, 30);
    EXPECT_EQ(line.Ended, 2u);
    EXPECT_EQ(line.RanMinutes, 50.0);
    EXPECT_EQ(report.Servers[0].History.Due, 1u);
}

}  // namespace
