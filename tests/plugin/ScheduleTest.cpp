// When events start beyond the random waits: countdown warnings before each, fixed times in a
// time zone across its daylight-saving changes, and the next event kept across restarts.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <thread>

#include <nlohmann/json.hpp>

#include "ChainFixture.h"
#include "Host/Timers.h"
#include "Receiver.h"
#include "config/ActiveHours.h"
#include "events/Calendar.h"
#include "events/EventChain.h"
#include "events/EventTexts.h"
#include "platform/TimeZone.h"
#include "platform/TzifZone.h"

namespace {

using Clock = std::chrono::system_clock;
using Lines = std::vector<std::string>;

Clock::time_point Utc(const std::string& text) {
    const auto time = quorvane::ParseUtcText(text);
    EXPECT_TRUE(time) << text;
    return time.value_or(Clock::time_point());
}

std::string Utc(std::optional<std::chrono::sys_seconds> time) {
    return time ? quorvane::UtcText(*time) : "none";
}

// A zone by the system's database, and the same by the plugin's reader of the zone files it
// ships for systems without one.
std::vector<quorvane::platform::Zone> BothZones(const std::string& name) {
    std::ifstream in(std::filesystem::path(SHIPPED_ZONES_DIR) / name, std::ios::binary);
    return {
        quorvane::platform::FindZone(name, {}),
        quorvane::platform::Zone(
            name, quorvane::platform::ReadTzif(std::string(std::istreambuf_iterator<char>(in), {})),
            "shipped")};
}

TEST(CalendarTest, FixedTimesFollowTheZoneAcrossBothDaylightSavingChanges) {
    struct Case {
        const char* what;
        std::vector<std::string> at;
        const char* zone;
        const char* after;
        const char* next;
    };
    const Case cases[] = {
        {"every day, in winter time (+1)",
         {"20:00"},
         "Europe/Berlin",
         "2026-12-05T12:00:00Z",
         "2026-12-05T19:00:00Z"},
        {"a weekday's time on that weekday only",
         {"Sat 20:00"},
         "Europe/Berlin",
         "2026-12-04T10:00:00Z",
         "2026-12-05T19:00:00Z"},
        {"its own start is past: a week on",
         {"Sat 20:00"},
         "Europe/Berlin",
         "2026-12-05T19:00:00Z",
         "2026-12-12T19:00:00Z"},
        {"the server was down at 20:00: the next, not a catch-up",
         {"Sat 20:00", "Mon 08:00"},
         "Europe/Berlin",
         "2026-12-05T19:01:00Z",
         "2026-12-07T07:00:00Z"},
        {"in summer time (+2) from the day of the change",
         {"20:00"},
         "Europe/Berlin",
         "2026-03-28T20:00:00Z",
         "2026-03-29T18:00:00Z"},
        {"02:30 that the clocks skip comes at 03:30",
         {"02:30"},
         "Europe/Berlin",
         "2026-03-29T00:00:00Z",
         "2026-03-29T01:30:00Z"},
        {"back in winter time",
         {"20:00"},
         "Europe/Berlin",
         "2026-10-24T19:00:00Z",
         "2026-10-25T19:00:00Z"},
        {"02:30 that the clocks show twice comes the first time",
         {"02:30"},
         "Europe/Berlin",
         "2026-10-25T00:00:00Z",
         "2026-10-25T00:30:00Z"},
        {"and only then",
         {"02:30"},
         "Europe/Berlin",
         "2026-10-25T00:30:00Z",
         "2026-10-26T01:30:00Z"},
        {"another zone, another day of change",
         {"Sun 09:00"},
         "America/New_York",
         "2026-03-07T00:00:00Z",
         "2026-03-08T13:00:00Z"},
        {"no times", {}, "Europe/Berlin", "2026-12-05T12:00:00Z", "none"},
    };
    for (const auto& c : cases) {
        std::vector<quorvane::FixedTime> times;
        for (const auto& text : c.at) {
            times.push_back(*quorvane::ParseFixedTime(text));
        }
        const auto after = std::chrono::floor<std::chrono::seconds>(Utc(c.after));
        for (const auto& zone : BothZones(c.zone)) {
            EXPECT_EQ(Utc(quorvane::NextFixedTime(times, zone, after)), c.next)
                << c.what << ", " << zone.Database();
        }
    }
    // ActiveHours in the zone: the minute after 01:59 is 03:00 in spring, 02:00 again in autumn.
    for (const auto& [utc, minute] : {std::pair{"2026-03-29T00:59:00Z", 119},
                                      {"2026-03-29T01:00:00Z", 180},
                                      {"2026-10-25T00:59:00Z", 179},
                                      {"2026-10-25T01:00:00Z", 120}}) {
        for (const auto& zone : BothZones("Europe/Berlin")) {
            EXPECT_EQ(quorvane::platform::MinuteOfDayIn(zone, Utc(utc)), minute)
                << utc << ", " << zone.Database();
        }
    }
    for (const char* unreadable : {"20:0", "24:00", "Sa 20:00", "sat 20:00", "Sat  20:00"}) {
        EXPECT_FALSE(quorvane::ParseFixedTime(unreadable)) << unreadable;
    }
}

class SetClock final : public quorvane::platform::WallClock {
  public:
    Clock::time_point Now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    void Set(Clock::time_point now) {
        std::lock_guard lock(mutex_);
        now_ = now;
    }

  private:
    mutable std::mutex mutex_;
    Clock::time_point now_ = Utc("2026-12-05T18:59:00Z");  // a Saturday, 19:59 in Berlin
};

// The chain with a scripted delivery, a clock the test sets, and the host's timers at 600 game
// seconds a real second: ten game minutes pass in a real second.
class ScheduleTest : public testing_support::ChainFixture {
  protected:
    ScheduleTest() : ChainFixture(600.0) {
        auto& s = settings_;
        s.ServerKey = "Island";
        s.Serverlabel = "The Island";
        s.ServerEventsCommand = "Start";
        s.MCRconPath = "rcon";
        s.RconSettings = {"127.0.0.1", 27020, "pw", "Island"};
        s.RconInfos = {{"127.0.0.1", 27020, "pw", "Island"}, {"127.0.0.2", 27021, "pw", "B"}};
        s.BroadcastStartEventMessage = "{Eventlabel} now";
        s.BroadcastEventWarningMessage = "{Eventlabel} in {Minutes}";
        s.MinimumTimeToWait = s.MaximumTimeToWait = 11;
        // After the first event, nothing more within a test.
        s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 10000;
        s.RandomEvents = {{"a", "A", {{1, 1, 1}, {2, 2, 2}}}, {"b", "B", {{3, 3, 3}}}};
        s.EventWarningMinutes = {10, 5, 1};
    }
    ~ScheduleTest() override {
        host_.Game().Run([&] { chain_.DropTimers(); });
    }

    // The texts of the client runs so far, those of one message (which go out side by side)
    // sorted.
    Lines Texts() {
        Lines texts;
        for (const auto& run : env_->Runs()) {
            texts.push_back(run.front().substr(2) + ": " + run.back());
        }
        return texts;
    }
    static std::vector<int> PendingDelays() {
        std::vector<int> delays;
        for (const auto& timer : asahost::PendingTimers()) {
            delays.push_back(timer.delaySeconds);
        }
        std::sort(delays.begin(), delays.end());
        return delays;
    }
    std::vector<quorvane::PlannedEvent> Planned() {
        std::vector<quorvane::PlannedEvent> planned;
        host_.Game().Run([&] {
            for (const auto& [entry, event] : chain_.Plan().Entries()) {
                planned.push_back(event);
            }
        });
        return planned;
    }
    template <typename Condition>
    static bool WaitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return condition();
    }
    nlohmann::json HistoryLine(std::size_t index) {
        // A started event's line is ended by whichever comes last: its delivery, or the rest of
        // its start on the game thread.
        host_.Game().Run([] {});
        EXPECT_TRUE(history_.WaitUntilWritten(std::chrono::seconds(30)));
        std::ifstream in(history_file_);
        std::string line;
        for (std::size_t i = 0; i <= index; ++i) {
            std::getline(in, line);
        }
        return nlohmann::json::parse(line);
    }

    quorvane::ScheduleStore store_{schedule_file_};
    SetClock clock_;
    quorvane::EventChain chain_{
        settings_,
        {rcon_, discord_, history_, [this](std::uint64_t step) { chain_.OnTimer(step); }, &store_,
         &clock_}};
};

// Each warning exactly its minutes before the start in the timers' own seconds, armed with the
// start; one not shorter than the wait is left out.
TEST_F(ScheduleTest, WarningsAreArmedTheirMinutesBeforeTheStart) {
    struct Case {
        std::int32_t wait;
        std::vector<int> delays;
    };
    const Case cases[] = {
        {30, {1200, 1500, 1740, 1800}},
        {7, {120, 360, 420}},  // 10 minutes reach back beyond the wait
        {5, {240, 300}},       // 5 minutes are the wait itself
        {1, {60}},             // shorter than every warning
    };
    for (const auto& c : cases) {
        settings_.MinimumTimeToWait = settings_.MaximumTimeToWait = c.wait;
        std::vector<int> delays;
        host_.Game().Run([&] {
            chain_.ScheduleFirst();
            delays = PendingDelays();
            chain_.DropTimers();
        });
        EXPECT_EQ(delays, c.delays) << c.wait << " minutes";
    }
}

TEST_F(ScheduleTest, TheEventWarnedOfStartsAfterItsWarnings) {
    webhook::Receiver receiver;
    receiver.Start();
    settings_.DiscordWebhook = receiver.BaseUrl() + "/api/webhooks/1/x";
    settings_.DiscordWebhookColor = "1";
    settings_.DiscordEventWarningMessage = "{Eventlabel} {StartsAt} ({Minutes})";
    host_.Game().Run([&] { chain_.ScheduleFirst(); });
    const auto planned = Planned();
    ASSERT_EQ(planned.size(), 1u);
    const auto& event = *planned[0].Event;
    const auto& c = *planned[0].Coordinate;
    // Three warnings and the event, each to both servers but the event's own command.
    ASSERT_TRUE(env_->WaitForRuns(9));
    ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
    auto texts = Texts();
    for (const auto& [from, to] : {std::pair{0, 2}, {2, 4}, {4, 6}, {7, 9}}) {
        std::sort(texts.begin() + from, texts.begin() + to);
    }
    const std::string label = event.Eventlabel;
    EXPECT_EQ(texts, (Lines{"127.0.0.1: " + label + " in 10", "127.0.0.2: " + label + " in 10",
                            "127.0.0.1: " + label + " in 5", "127.0.0.2: " + label + " in 5",
                            "127.0.0.1: " + label + " in 1", "127.0.0.2: " + label + " in 1",
                            "127.0.0.1: " + quorvane::MakeEventCommand("Start", event.EventId, c),
                            "127.0.0.1: " + label + " now", "127.0.0.2: " + label + " now"}));
    // One post, at the first warning, with the start as Discord's relative time.
    ASSERT_TRUE(receiver.WaitForRecords(1, std::chrono::seconds(30)));
    EXPECT_EQ(receiver.Records().size(), 1u);
    const auto start =
        std::chrono::floor<std::chrono::seconds>(clock_.Now().time_since_epoch()).count() + 660;
    EXPECT_EQ(receiver.Records()[0].body,
              R"({"content":"","embeds":[{"color":"1","description":")" + label +
                  " <t:" + std::to_string(start) + R"x(:R> (10)"}]})x");
    const auto line = HistoryLine(0);
    EXPECT_EQ(line["outcome"], "started");
    EXPECT_EQ(line["event"], event.EventId);
    receiver.Stop();
}

// Players are counted at the first warning: too few, and nothing is said and nothing starts;
// enough, and the event comes though they leave.
TEST_F(ScheduleTest, PlayersAreCountedAtTheFirstWarningOnly) {
    settings_.MinimumPlayersOnline = 1;
    settings_.EventWarningMinutes = {10};
    for (const int atWarning : {0, 1}) {
        SCOPED_TRACE(atWarning);
        host_.Game().Run([&] {
            world_->SetPlayers(atWarning);
            chain_.ScheduleFirst();
        });
        // The warning is due after 60 game seconds, the start after 660, which arms the next
        // wait's warning and start.
        ASSERT_TRUE(WaitFor([] { return PendingDelays().size() == 1; }));
        host_.Game().Run([&] { world_->SetPlayers(0); });
        ASSERT_TRUE(WaitFor([] { return PendingDelays() == std::vector<int>{599400, 600000}; }));
        ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        host_.Game().Run([&] { chain_.DropTimers(); });
    }
    // The second round's warning to both servers, and its event.
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_TRUE(texts[2].find(": Start ") != std::string::npos) << texts[2];
    const auto skipped = HistoryLine(0);
    EXPECT_EQ(skipped["outcome"], "skipped");
    EXPECT_EQ(skipped["reason"], "0 player(s) online, 1 needed");
    EXPECT_TRUE(skipped.contains("event"));
    EXPECT_EQ(HistoryLine(1)["outcome"], "started");
}

TEST_F(ScheduleTest, AKeptNextEventIsResumedUnlessItHasPassedOrIsBeyondAnyWait) {
    settings_.KeepScheduleAcrossRestarts = true;
    settings_.EventWarningMinutes = {};
    const std::string other = R"("Other": {"next": "2026-12-05T20:00:00Z", "warned": false})";
    const std::string cannotBeRead =
        "[Quorvane][warning] The kept schedule " + schedule_file_.string() + " cannot be read (";
    const auto broken = std::filesystem::path(schedule_file_) += ".broken";
    struct Case {
        const char* what;
        std::string file;
        int delay;           // of the start
        std::string logged;  // the start of the one line logged
        std::string ending;  // and its end
        bool otherStays;
    };
    const Case cases[] = {
        {"ahead", R"({"Island": {"next": "2026-12-05T19:04:00Z"}, )" + other + "}", 300,
         "[Quorvane][info] The kept next event at 2026-12-05T19:04:00Z is resumed: in 300 s", "",
         true},
        {"passed while the server was down",
         R"({"Island": {"next": "2026-12-05T18:58:00Z"}, )" + other + "}", 660,
         "[Quorvane][info] The kept next event at 2026-12-05T18:58:00Z has passed: a new first "
         "wait is drawn",
         "", true},
        {"further than the settings draw (10000 minutes), as a hand may write it",
         R"({"Island": {"next": "2199-01-01T00:00:00Z"}, )" + other + "}", 660,
         "[Quorvane][info] The kept next event at 2199-01-01T00:00:00Z is further ahead than the "
         "longest wait the settings can draw (10000 minutes): a new first wait is drawn",
         "", true},
        {"broken", R"({"Island": {"next": "soon"}, )" + other + "}", 660,
         cannotBeRead + "the entry of Island has no \"next\" time such as "
                        "\"2026-12-08T23:51:53Z\"): the chain starts as usual",
         "", true},
        {"not JSON: set aside, not lost", "{\"Island\": ", 660, cannotBeRead,
         "): it is set aside as " + broken.string() + ", and the chain starts as usual", false},
        {"none for this server", "{" + other + "}", 660, "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(broken);
        std::ofstream(schedule_file_) << c.file;
        host_.ClearLines();
        std::vector<int> delays;
        host_.Game().Run([&] {
            chain_.ScheduleFirst();
            delays = PendingDelays();
            chain_.DropTimers();
        });
        EXPECT_EQ(delays, std::vector<int>{c.delay});
        const auto lines = host_.PluginLines();
        EXPECT_EQ(lines.size(), c.logged.empty() ? 0u : 1u);
        if (!lines.empty()) {
            EXPECT_TRUE(lines[0].starts_with(c.logged)) << lines[0];
            EXPECT_TRUE(lines[0].ends_with(c.ending)) << lines[0];
        }
        ASSERT_TRUE(store_.WaitUntilWritten(std::chrono::seconds(30)));
        // What is kept now: the time armed, beside the other server's.
        const auto kept = nlohmann::json::parse(std::ifstream(schedule_file_));
        EXPECT_EQ(kept["Island"]["next"],
                  quorvane::UtcText(clock_.Now() + std::chrono::seconds(c.delay)));
        EXPECT_EQ(kept.contains("Other"), c.otherStays);
        if (!c.otherStays) {
            std::ifstream aside(broken);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), c.file);
        }
    }
}

// A fixed time judged at its first warning not to start stays skipped however the plugin
// goes on: though players are online by then, nothing is said of it and it does not start.
TEST_F(ScheduleTest, AFixedTimeSkippedAtItsFirstWarningStaysSkipped) {
    settings_.KeepScheduleAcrossRestarts = true;
    settings_.TimeZone = quorvane::platform::FindZone("Europe/Berlin", {});
    settings_.MinimumPlayersOnline = 1;
    settings_.MinimumTimeToWait = settings_.MaximumTimeToWait = 1000;
    settings_.RandomEvents[1].At = {*quorvane::ParseFixedTime("20:30")};  // in 31 minutes
    const auto fixedEntry = [&](const std::vector<quorvane::PlannedEvent>& planned) {
        const auto found = std::find_if(planned.begin(), planned.end(), [](const auto& event) {
            return event.From == quorvane::PlannedEvent::Source::Fixed;
        });
        return found == planned.end() ? std::optional<quorvane::PlannedEvent>()
                                      : std::optional(*found);
    };
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "a restart" : "a reload");
        std::filesystem::remove(schedule_file_);
        host_.Game().Run([&] {
            world_->SetPlayers(0);
            chain_.ScheduleFirst();
        });
        // Judged at its first warning, after 1260 game seconds.
        ASSERT_TRUE(WaitFor([&] {
            const auto fixed = fixedEntry(Planned());
            return fixed && fixed->Skipped;
        }));
        ASSERT_TRUE(store_.WaitUntilWritten(std::chrono::seconds(30)));
        std::unique_ptr<quorvane::EventChain> restarted;
        host_.Game().Run([&] {
            world_->SetPlayers(5);
            if (restart) {
                chain_.DropTimers();
                restarted = std::make_unique<quorvane::EventChain>(
                    settings_,
                    quorvane::ChainServices{rcon_, discord_, history_,
                                            [&](std::uint64_t step) { restarted->OnTimer(step); },
                                            &store_, &clock_});
                restarted->ScheduleFirst();
            } else {
                chain_.Rearm();
            }
        });
        // Past its time (1860 game seconds) its next fixed time is planned: tomorrow's.
        ASSERT_TRUE(WaitFor([&] {
            std::vector<quorvane::PlannedEvent> planned;
            host_.Game().Run([&] {
                for (const auto& [entry, event] :
                     (restarted ? restarted->Plan() : chain_.Plan()).Entries()) {
                    planned.push_back(event);
                }
            });
            const auto fixed = fixedEntry(planned);
            return fixed && quorvane::UtcText(fixed->StartsAt) == "2026-12-06T19:30:00Z";
        }));
        host_.Game().Run([&] {
            chain_.DropTimers();
            if (restarted) {
                restarted->DropTimers();
            }
        });
        ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        EXPECT_EQ(Texts(), Lines{});
    }
    // One line each time: its skip.
    EXPECT_EQ(HistoryLine(0)["outcome"], "skipped");
    EXPECT_EQ(HistoryLine(1)["outcome"], "skipped");
    EXPECT_EQ(HistoryLine(1)["trigger"], "at");
    std::ifstream in(history_file_);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(in), {}, '\n'), 2);
}

// An event already drawn and warned of comes back after a restart as it was: no second Discord
// post, no second judgement, the warnings still ahead sent.
TEST_F(ScheduleTest, AKeptWarnedEventComesBackWithItsCoordinate) {
    webhook::Receiver receiver;
    receiver.Start();
    settings_.DiscordWebhook = receiver.BaseUrl() + "/api/webhooks/1/x";
    settings_.DiscordWebhookColor = "1";
    settings_.DiscordEventWarningMessage = "{Eventlabel} in {Minutes}";
    settings_.DiscordBroadcastMessage = "{Eventlabel} now";
    settings_.KeepScheduleAcrossRestarts = true;
    std::ofstream(schedule_file_) << R"({"Island": {"next": "2026-12-05T19:06:30Z", "event": "b",
        "coordinate": [3, 3, 3], "warned": true}})";
    settings_.MinimumPlayersOnline = 1;  // nobody online: warned already, so it comes anyway
    std::vector<int> delays;
    host_.Game().Run([&] {
        chain_.ScheduleFirst();
        delays = PendingDelays();
    });
    EXPECT_EQ(delays, (std::vector<int>{150, 390, 450}));  // 5 and 1 minute before 450 s
    ASSERT_TRUE(env_->WaitForRuns(5));
    ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
    EXPECT_EQ(Texts()[4], "127.0.0.1: Start b 3 3 3");
    // The start's post alone: the host sends one request at a time in the order made, so a
    // warning's post would have come first.
    ASSERT_TRUE(receiver.WaitForRecords(1, std::chrono::seconds(30)));
    const auto records = receiver.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(nlohmann::json::parse(records[0].body)["embeds"][0]["description"], "B now");
    receiver.Stop();
}

// ActiveHours, in TimeZone, are judged once, at the first warning, by the minute of the start:
// an event warned of outside the hours that starts inside them comes; one that would start
// outside them is skipped then, and nothing is said.
TEST_F(ScheduleTest, ActiveHoursInTheZoneAreJudgedAtTheFirstWarningByTheStart) {
    settings_.EventWarningMinutes = {10};
    struct Case {
        const char* zone;
        const char* hours;
        std::string skipped;  // the reason; empty: it starts
    };
    // The first warning at 19:00 UTC, the start at 19:10 UTC: 20:10 in Berlin, 14:10 in New York.
    const Case cases[] = {
        {"Europe/Berlin", "20:05-23:00", ""},
        {"Europe/Berlin", "19:00-20:05", "20:10 is outside ActiveHours 19:00-20:05"},
        {"America/New_York", "14:05-15:00", ""},
        {"America/New_York", "20:05-23:00", "14:10 is outside ActiveHours 20:05-23:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " " + c.hours);
        settings_.TimeZone = quorvane::platform::FindZone(c.zone, {});
        settings_.ActiveHours = quorvane::ParseActiveHours(c.hours);
        const auto runs = env_->Runs().size();
        host_.Game().Run([&] {
            clock_.Set(Utc("2026-12-05T18:59:00Z"));
            chain_.ScheduleFirst();
            clock_.Set(Utc("2026-12-05T19:00:00Z"));  // the time of the first warning
            asahost::AdvanceTimers(660);              // the warning, then the start
        });
        // The start has passed: the next wait and its warning are armed.
        ASSERT_EQ(PendingDelays(), (std::vector<int>{599400, 600000}));
        host_.Game().Run([&] { chain_.DropTimers(); });
        ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        // Started: the warning and the event, to both servers but the event's own command.
        EXPECT_EQ(env_->Runs().size() - runs, c.skipped.empty() ? 5u : 0u);
        const auto last = history_.Recent().back();
        EXPECT_EQ(last.Outcome, c.skipped.empty() ? "started" : "skipped");
        EXPECT_EQ(last.Reason, c.skipped);
    }
}

// Events of one minute start each, and an event whose two times fall in that minute starts
// once; the chain's first wait goes on undisturbed.
TEST_F(ScheduleTest, FixedTimesStartBesideTheChain) {
    settings_.TimeZone = quorvane::platform::FindZone("Europe/Berlin", {});
    settings_.MinimumTimeToWait = settings_.MaximumTimeToWait = 100;
    settings_.EventWarningMinutes = {};
    settings_.RandomEvents.push_back({"c", "C", {{4, 4, 4}}});
    settings_.RandomEvents[0].At = {*quorvane::ParseFixedTime("Sat 20:00")};
    settings_.RandomEvents[1].At = {*quorvane::ParseFixedTime("20:00"),
                                    *quorvane::ParseFixedTime("Fri 20:00")};
    settings_.RandomEvents[2].At = {*quorvane::ParseFixedTime("Sat 20:00"),
                                    *quorvane::ParseFixedTime("20:00")};
    host_.Game().Run([&] { chain_.ScheduleFirst(); });
    // All at 20:00, in a game minute; the chain's first event in 100.
    ASSERT_TRUE(env_->WaitForRuns(9));
    host_.Game().Run([] {});  // the pass that started them is over
    ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
    Lines commands;
    for (const auto& text : Texts()) {
        if (text.find(": Start ") != std::string::npos) {
            commands.push_back(text);
        }
    }
    std::sort(commands.begin(), commands.end());
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_TRUE(commands[0].starts_with("127.0.0.1: Start a ")) << commands[0];
    EXPECT_EQ(commands[1], "127.0.0.1: Start b 3 3 3");
    EXPECT_EQ(commands[2], "127.0.0.1: Start c 4 4 4");
    // Next: a in a week, b tomorrow, by the clock at which they were due; the chain as armed.
    const auto planned = Planned();
    std::vector<std::string> next;
    for (const auto& event : planned) {
        next.push_back((event.Event ? event.Event->EventId : "chain") + " " +
                       quorvane::UtcText(event.StartsAt));
    }
    std::sort(next.begin(), next.end());
    EXPECT_EQ(next,
              (std::vector<std::string>{"a 2026-12-12T19:00:00Z", "b 2026-12-06T19:00:00Z",
                                        "c 2026-12-06T19:00:00Z", "chain 2026-12-05T20:39:00Z"}));
    EXPECT_EQ(HistoryLine(0)["trigger"], "at");
    // Not kept: no file.
    EXPECT_FALSE(std::filesystem::exists(schedule_file_));
}

}  // namespace

namespace {

// One event of 30 minutes with an EndCommand; no warnings.
class EventEndTest : public ScheduleTest {
  protected:
    EventEndTest() {
        auto& s = settings_;
        s.EventWarningMinutes = {};
        s.BroadcastEndEventMessage = "{Eventlabel} is over";
        s.MinimumTimeToNextEvent = s.MaximumTimeToNextEvent = 3;
        s.RandomEvents = {{"a", "A", {{1, 1, 1}}}};
        s.RandomEvents[0].DurationMinutes = 30;
        s.RandomEvents[0].EndCommand = "Stop {eventlabel} on {Serverlabel}";
    }
    nlohmann::json Kept() {
        EXPECT_TRUE(store_.WaitUntilWritten(std::chrono::seconds(30)));
        if (!std::filesystem::exists(schedule_file_)) {
            return nlohmann::json::object();
        }
        return nlohmann::json::parse(std::ifstream(schedule_file_));
    }
    std::vector<quorvane::PlannedEvent> Running() {
        auto planned = Planned();
        std::erase_if(planned, [](const quorvane::PlannedEvent& e) {
            return e.From != quorvane::PlannedEvent::Source::End;
        });
        return planned;
    }
    // "end ID SECONDS", "chain SECONDS", "fixed ID SECONDS", sorted.
    Lines Plan() {
        Lines plan;
        for (const auto& e : Planned()) {
            using Source = quorvane::PlannedEvent::Source;
            plan.push_back(std::string(e.From == Source::End     ? "end "
                                       : e.From == Source::Chain ? "chain"
                                                                 : "fixed ") +
                           (e.From == Source::Chain ? "" : e.Event->EventId) + " " +
                           std::to_string(e.Seconds));
        }
        std::sort(plan.begin(), plan.end());
        return plan;
    }
};

// While it runs nothing else starts (a fixed time due then is skipped) and the chain waits; at
// the end its command runs on its own server and the end is announced to every server; the
// chain's next wait counts from there. Its end is kept only while it runs.
TEST_F(EventEndTest, AnEventThatLastsEndsAndTheChainCountsFromItsEnd) {
    settings_.TimeZone = quorvane::platform::FindZone("Europe/Berlin", {});
    settings_.RandomEvents.push_back({"f", "F", {{4, 4, 4}}});
    settings_.RandomEvents[1].Weight = 0;
    settings_.RandomEvents[1].At = {*quorvane::ParseFixedTime("20:30")};  // 20 min into the run
    host_.Game().Run([&] { chain_.ScheduleFirst(); });
    ASSERT_TRUE(env_->WaitForRuns(3));  // the start: command and two broadcasts
    ASSERT_TRUE(WaitFor([&] { return !Running().empty(); }));
    // The end in 30 minutes and the fixed time; the chain is held, not armed.
    EXPECT_EQ(Plan(), (Lines{"end a 1800", "fixed f 1860"}));
    bool parked = false;
    host_.Game().Run([&] { parked = chain_.Parked().has_value(); });
    EXPECT_TRUE(parked);
    auto kept = Kept();
    ASSERT_EQ(kept["Island"]["running"].size(), 1u);
    EXPECT_EQ(kept["Island"]["running"][0]["endCommand"], "Stop A on The Island");
    EXPECT_FALSE(kept["Island"].contains("next"));  // KeepScheduleAcrossRestarts is off

    // The fixed time comes 20 minutes into the run: skipped; then the end; then the chain's 3.
    ASSERT_TRUE(env_->WaitForRuns(6));
    ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
    auto texts = Texts();
    std::sort(texts.begin() + 4, texts.end());
    EXPECT_EQ(texts[3], "127.0.0.1: Stop A on The Island");
    EXPECT_EQ(Lines(texts.begin() + 4, texts.end()),
              (Lines{"127.0.0.1: A is over", "127.0.0.2: A is over"}));
    ASSERT_TRUE(WaitFor([&] { return Running().empty(); }));
    EXPECT_EQ(Plan(), (Lines{"chain 180", "fixed f 88260"}));
    const auto skipped = HistoryLine(1);
    EXPECT_EQ(skipped["outcome"], "skipped");
    EXPECT_EQ(skipped["skip"], "running");
    EXPECT_EQ(skipped["event"], "f");
    const auto ended = HistoryLine(2);
    EXPECT_EQ(ended["outcome"], "ended");
    EXPECT_EQ(ended["trigger"], "timer");
    EXPECT_EQ(ended["rcon"], (nlohmann::json{{"B", "delivered"}, {"Island", "delivered"}}));
    EXPECT_FALSE(Kept()["Island"].contains("running"));
}

// An end that came while the plugin was not running runs at the load, whatever
// KeepScheduleAcrossRestarts says; one still ahead is planned, holds the chain, and
// quorvane.end ends it at once.
TEST_F(EventEndTest, AKeptEndRunsAtTheNextLoad) {
    const std::string other = R"("Other": {"next": "2026-12-05T20:00:00Z"})";
    const auto running = [&](const char* ends) {
        return R"({"Island": {"running": [{"event": "gone", "label": "Double XP", )"
               R"("coordinate": [1, 2, 3], "started": "2026-12-05T18:00:00Z", "ends": ")" +
               std::string(ends) + R"(", "endCommand": "XP 1"}]}, )" + other + "}";
    };
    std::size_t runs = 0;
    settings_.BroadcastEndEventMessage.clear();
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        settings_.KeepScheduleAcrossRestarts = keep;
        std::ofstream(schedule_file_) << running("2026-12-05T18:30:00Z");
        host_.Game().Run([&] { chain_.ScheduleFirst(); });
        ASSERT_TRUE(env_->WaitForRuns(++runs));
        ASSERT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        EXPECT_EQ(Texts().back(), "127.0.0.1: XP 1");
        EXPECT_FALSE(Kept()["Island"].contains("running"));
        EXPECT_TRUE(Kept().contains("Other"));
        host_.Game().Run([&] { chain_.DropTimers(); });
    }
    const auto late = HistoryLine(0);
    EXPECT_EQ(late["trigger"], "load");
    EXPECT_EQ(late["event"], "gone");
    EXPECT_EQ(late["label"], "Double XP");
    EXPECT_EQ(late["ranMinutes"], 59);  // until the load, when it ended

    // Still ahead: planned; the chain waits; quorvane.end ends it now.
    settings_.KeepScheduleAcrossRestarts = false;
    std::ofstream(schedule_file_) << running("2026-12-05T19:09:00Z");
    quorvane::StartOutcome refused{};
    host_.Game().Run([&] {
        chain_.ScheduleFirst();
        refused = chain_.StartNow(std::nullopt);
    });
    EXPECT_EQ(Plan(), Lines{"end gone 600"});
    EXPECT_FALSE(refused.Started);
    EXPECT_EQ(refused.Text,
              "None started: event gone (Double XP) runs until 2026-12-05T19:09:00Z; quorvane.end "
              "ends it now");
    clock_.Set(Utc("2026-12-05T19:01:00Z"));
    quorvane::StartOutcome unknown{};
    quorvane::StartOutcome ended{};
    host_.Game().Run([&] {
        unknown = chain_.EndNow("a");
        ended = chain_.EndNow(std::nullopt);
    });
    EXPECT_EQ(unknown.Text, "Event a is not running; running: gone");
    EXPECT_EQ(ended.Text, "Ended event gone (Double XP)");
    EXPECT_EQ(Plan(), Lines{"chain 660"});  // the chain's first wait, counted from the end
    ASSERT_TRUE(env_->WaitForRuns(++runs));
    EXPECT_EQ(Texts().back(), "127.0.0.1: XP 1");
    const auto now = HistoryLine(2);
    EXPECT_EQ(now["trigger"], "quorvane.end");
    EXPECT_EQ(now["ranMinutes"], 61);
    EXPECT_FALSE(Kept()["Island"].contains("running"));
}

}  // namespace
