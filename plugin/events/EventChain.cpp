#include "events/EventChain.h"

#include <algorithm>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "config/ActiveHours.h"
#include "events/EventDraw.h"
#include "events/EventTexts.h"
#include "events/GamePlayers.h"
#include "map/GameMap.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

// The host owns the timers by this module's path; the identifier is the same for every timer,
// so that they can be told from another plugin's and dropped together.
FString TimerIdentifier() {
    return FString(platform::OwnModulePath() + L"_0");
}

// Letter case is ignored as the game ignores it.
int GameStrnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) {
    return FGenericPlatformStricmp::Strnicmp(a, b, count);
}

std::string Ids(const Settings& s) {
    std::string ids;
    for (const auto& event : s.RandomEvents) {
        ids += (ids.empty() ? "" : ", ") + event.EventId;
    }
    return ids.empty() ? "none" : ids;
}

}  // namespace

std::int32_t MinutesToSeconds(std::int32_t minutes) {
    const std::int64_t seconds = std::int64_t{minutes} * 60;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, INT32_MIN, INT32_MAX));
}

EventChain::EventChain(const Settings& settings, ChainServices services)
    : settings_(settings), services_(std::move(services)) {
    // What became of an event's messages and post completes its history line. The history
    // outlives the delivery's threads, which call this.
    services_.Rcon.OnFinished(
        [&history = services_.History](const RconJob& job,
                                       const std::map<std::string, std::string>& sent) {
            history.RconDone(job.RecordId, sent);
        });
    services_.Discord.OnFinished(
        [&history = services_.History](std::uint64_t recordId, const std::string& outcome) {
            history.DiscordDone(recordId, outcome);
        });
}

void EventChain::ScheduleFirst() {
    const Settings& s = settings_;
    if (s.Debug) {
        PluginLog()->info("Server Ready");
    }
    const std::int32_t minutes = random_.Int(s.MinimumTimeToWait, s.MaximumTimeToWait);
    if (s.Debug) {
        PluginLog()->info("Time to wait: {}", minutes);
    }
    Arm(minutes);
}

void EventChain::OnTimer() {
    // First, so that the chain goes on whatever becomes of this event.
    const std::int32_t minutes = ArmNext();
    if (const auto skip = SkipReason()) {
        PluginLog()->info("Event skipped: {}", skip->first);
        auto record = Record("timer", "skipped");
        record.Reason = skip->first;
        record.SkipKind = skip->second;
        services_.History.Add(std::move(record));
        return;
    }
    std::string why;
    if (const auto draw = DrawEvent(std::nullopt, why)) {
        Start(*draw, minutes, "timer");
        return;
    }
    auto record = Record("timer", "skipped");
    record.Reason = why;
    record.SkipKind = settings_.RandomEvents.empty() ? "no events" : "no coordinates";
    services_.History.Add(std::move(record));
}

std::optional<std::pair<std::string, std::string>> EventChain::SkipReason() {
    const Settings& s = settings_;
    if (s.MinimumPlayersOnline > 0) {
        const int players = GamePlayersOnline();
        if (players < s.MinimumPlayersOnline) {
            return std::pair{std::to_string(players) + " player(s) online, " +
                                 std::to_string(s.MinimumPlayersOnline) + " needed",
                             std::string("players")};
        }
    }
    if (s.ActiveHours) {
        const int minute = platform::LocalMinuteOfDay(std::chrono::system_clock::now());
        if (!InActiveHours(*s.ActiveHours, minute)) {
            return std::pair{ClockText(minute) + " is outside ActiveHours " + s.ActiveHours->Text,
                             std::string("hours")};
        }
    }
    return std::nullopt;
}

EventRecord EventChain::Record(const char* trigger, const char* outcome) const {
    EventRecord record;
    record.Time = std::chrono::system_clock::now();
    record.Server = settings_.ServerKey;
    record.Trigger = trigger;
    record.Outcome = outcome;
    return record;
}

void EventChain::Rearm() {
    if (armed_) {
        DropTimers();
        ArmNext();
    }
}

StartOutcome EventChain::StartNow(const std::optional<std::string>& eventId) {
    std::string why;
    const auto draw = DrawEvent(eventId, why);
    if (!draw) {
        return {false, why};
    }
    return Start(*draw, std::nullopt, "quorvane.next");
}

void EventChain::DropTimers() {
    API::Timer::Get().UnloadTimer(TimerIdentifier());
    armed_.reset();
}

std::int32_t EventChain::ArmNext() {
    const std::int32_t minutes =
        random_.Int(settings_.MinimumTimeToNextEvent, settings_.MaximumTimeToNextEvent);
    Arm(minutes);
    return minutes;
}

void EventChain::Arm(std::int32_t minutes) {
    // The framework forgets a timer armed during its pass with a delay below zero: the chain
    // would end there.
    const std::int32_t seconds = (std::max)(MinutesToSeconds(minutes), 0);
    API::Timer::Get().DelayExecute(TimerIdentifier(), services_.OnTimer, seconds);
    armed_ = ArmedTimer{std::chrono::steady_clock::now(), seconds};
}

std::optional<EventChain::Draw> EventChain::DrawEvent(const std::optional<std::string>& eventId,
                                                      std::string& why) {
    const auto& events = settings_.RandomEvents;
    const RandomEvent* event = nullptr;
    if (eventId) {
        const auto found = std::find_if(events.begin(), events.end(), [&](const RandomEvent& e) {
            return e.EventId == *eventId;
        });
        if (found == events.end()) {
            why = "Unknown event id " + *eventId + "; the events are: " + Ids(settings_);
            return std::nullopt;
        }
        if (found->RandomCCCs.empty()) {
            why = "Event " + *eventId + " has no coordinates; none started";
            return std::nullopt;
        }
        event = &*found;
    } else {
        if (events.empty()) {
            PluginLog()->warn("No events are configured for this server; none started");
            why = "No events are configured for this server";
            return std::nullopt;
        }
        event = &events[DrawEventIndex(events, recent_, settings_.AvoidRepeats, random_)];
        if (event->RandomCCCs.empty()) {
            PluginLog()->warn("Event {} ({}) has no coordinates; not started", event->EventId,
                              event->Eventlabel);
            why = "The event drawn has no coordinates; none started";
            return std::nullopt;
        }
    }
    const auto& coordinates = event->RandomCCCs;
    return Draw{*event, coordinates[random_.Index(static_cast<std::uint32_t>(coordinates.size()))]};
}

StartOutcome EventChain::Start(const Draw& draw, std::optional<std::int32_t> nextMinutes,
                               const char* trigger) {
    const Settings& s = settings_;
    const auto& [event, coordinate] = draw;
    if (s.Debug) {
        auto& log = *PluginLog();
        log.info("Starting event!");
        log.info("Event: {}", event.Eventlabel);
        log.info("Coordinate: {:g}, {:g}, {:g}", static_cast<double>(coordinate.X),
                 static_cast<double>(coordinate.Y), static_cast<double>(coordinate.Z));
        log.info("Command: {}", MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate));
        if (nextMinutes) {
            log.info("Time to next event: {}", *nextMinutes);
        }
    }
    const LatLon position = GameMap::WorldToLatLon(coordinate);
    const auto texts = ComposeEventTexts(s, event, coordinate, position, &GameStrnicmp);
    // The record comes first: the delivery and the post may be done before this returns.
    auto record = Record(trigger, "started");
    record.EventId = event.EventId;
    record.Eventlabel = event.Eventlabel;
    record.Coordinate = coordinate;
    record.Position = position;
    const std::string startedUtc = UtcText(record.Time);
    const std::uint64_t id = services_.History.Begin(std::move(record), false, false);
    auto job = MakeRconJob(s, event.EventId, texts.EventCommand, texts.BroadcastText);
    job.RecordId = id;
    auto refused = services_.Rcon.Submit(std::move(job));
    if (refused) {
        services_.History.Refused(id, *refused);
    } else {
        recent_.push_back(event.EventId);
        if (recent_.size() > 100) {
            recent_.pop_front();
        }
    }
    // The announcement does not depend on the delivery taking the job.
    if (!services_.Discord.Post(
            event.EventId,
            {texts.DiscordMessage, texts.DiscordHeader, event.DiscordImageUrl, startedUtc}, id)) {
        services_.History.DiscordDone(
            id, services_.Discord.Stopped() ? "not posted: posting stopped" : "none");
    }
    last_ = StartedEvent{
        event.EventId, event.Eventlabel, coordinate, position, std::chrono::steady_clock::now(),
        refused};
    const std::string name = event.EventId + " (" + event.Eventlabel + ")";
    if (refused) {
        return {false, "Event " + name + " not started: " + *refused};
    }
    return {true, "Started event " + name};
}

}  // namespace quorvane
