#include "events/EventChain.h"

#include <algorithm>
#include <cmath>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "config/ActiveHours.h"
#include "events/Calendar.h"
#include "events/EventDraw.h"
#include "events/EventTexts.h"
#include "events/GamePlayers.h"
#include "map/GameMap.h"
#include "platform/TimeZone.h"

namespace quorvane {
namespace {

using std::chrono::system_clock;

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

std::string Name(const RandomEvent& event) {
    return event.EventId + " (" + event.Eventlabel + ")";
}

std::deque<std::string> WithLast(std::deque<std::string> recent, const std::string& id) {
    recent.push_back(id);
    return recent;
}

// Whole seconds from `now` to `at`: at least 0, within 32 bits.
std::int32_t SecondsUntil(system_clock::time_point at, system_clock::time_point now) {
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(at - now).count();
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, 0, INT32_MAX));
}

}  // namespace

EventChain::EventChain(const Settings& settings, ChainServices services)
    : settings_(settings), services_(std::move(services)), plan_(services_.OnTimer) {
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
    std::optional<KeptSchedule> kept;
    if (s.KeepScheduleAcrossRestarts && services_.Schedule != nullptr) {
        kept = services_.Schedule->Load(s.ServerKey);
    }
    ResumeRunning();
    if (!kept || !ResumeKept(kept->Next)) {
        const std::int32_t minutes = random_.Int(s.MinimumTimeToWait, s.MaximumTimeToWait);
        if (s.Debug) {
            PluginLog()->info("Time to wait: {}", minutes);
        }
        ArmChain(MinutesToSeconds(minutes), nullptr, nullptr);
    }
    PlanFixedTimes(kept ? kept->FixedSkips : std::vector<KeptSkip>());
    ParkChain();
    Keep();
}

bool EventChain::ResumeKept(const KeptEvent& kept) {
    const Settings& s = settings_;
    const auto now = Now();
    // Never a catch-up: a time the server was down for is gone.
    if (kept.Next <= now) {
        PluginLog()->info("The kept next event at {} has passed: a new first wait is drawn",
                          UtcText(kept.Next));
        return false;
    }
    // No wait the settings can draw reaches further (nor a warning already given): such a
    // time comes from other settings or another hand, and might never come.
    std::int32_t longest = (std::max)(s.MaximumTimeToWait, s.MaximumTimeToNextEvent);
    if (kept.Warned && !s.EventWarningMinutes.empty()) {
        longest = (std::max)(longest, s.EventWarningMinutes.front());
    }
    if (kept.Next > now + std::chrono::seconds(MinutesToSeconds(longest))) {
        PluginLog()->info(
            "The kept next event at {} is further ahead than the longest wait the settings can "
            "draw ({} minutes): a new first wait is drawn",
            UtcText(kept.Next), longest);
        return false;
    }
    const std::int32_t seconds = SecondsUntil(kept.Next, now);
    PluginLog()->info("The kept next event at {} is resumed: in {} s", UtcText(kept.Next), seconds);
    ArmChain(seconds, &kept, nullptr);
    return true;
}

void EventChain::OnTimer(std::uint64_t step) {
    const auto fired = plan_.Fired(step);
    if (!fired) {
        return;
    }
    if (fired->WarningMinutes > 0) {
        if (auto* planned = plan_.Find(fired->Entry)) {
            Warn(*planned, fired->WarningMinutes);
        }
        return;
    }
    auto planned = plan_.Take(fired->Entry);
    if (!planned) {
        return;
    }
    if (planned->From == PlannedEvent::Source::End) {
        End(*planned, "timer");
        KeepRunning();
        UnparkChain();
        return;
    }
    // First, so that the chain and the fixed times go on whatever becomes of this event.
    const auto minutes = Continue(*planned);
    if (planned->From == PlannedEvent::Source::Fixed) {
        Due(*planned, std::nullopt, "at");
    } else if (planned->Event || !planned->NothingToStart.empty() || planned->Skipped) {
        Due(*planned, minutes, "timer");
    } else {
        DueUndrawn(*minutes);
    }
}

std::optional<std::int32_t> EventChain::Continue(const PlannedEvent& planned) {
    const std::string& id = planned.Event ? planned.Event->EventId : std::string();
    if (planned.From == PlannedEvent::Source::Chain) {
        return ArmNext(planned.Event ? &id : nullptr);
    }
    // Its next fixed time, by the settings as they are now.
    const auto& events = settings_.RandomEvents;
    const auto same = std::find_if(events.begin(), events.end(),
                                   [&](const RandomEvent& event) { return event.EventId == id; });
    if (same != events.end()) {
        ArmFixed(*same, planned.StartsAt);
    }
    return std::nullopt;
}

void EventChain::DueUndrawn(std::int32_t nextMinutes) {
    if (const auto skip = SkipReason(Now())) {
        RecordSkip("timer", *skip, std::nullopt);
        return;
    }
    std::string why;
    if (const auto draw = DrawEvent(std::nullopt, why)) {
        Start(*draw, nextMinutes, "timer");
        return;
    }
    RecordNothingToStart("timer", why);
}

void EventChain::Due(PlannedEvent& planned, std::optional<std::int32_t> nextMinutes,
                     const char* trigger) {
    if (planned.Skipped) {
        return;  // judged at its first warning, and in the history then
    }
    // Nothing starts while an event runs, warned of or not.
    if (const auto running = RunningReason(Now())) {
        RecordSkip(trigger, *running, planned.Event);
        return;
    }
    // Once warned of, an event starts unless the delivery refuses it.
    if (!planned.Warned) {
        if (const auto skip = SkipReason(Now())) {
            RecordSkip(trigger, *skip, planned.Event);
            return;
        }
    }
    if (!planned.Event) {
        RecordNothingToStart(trigger, planned.NothingToStart);
        return;
    }
    if (!planned.Coordinate) {
        // A fixed time without warnings: drawn now, as a timed event's is.
        planned.Coordinate = DrawCoordinate(*planned.Event);
    }
    Start({*planned.Event, *planned.Coordinate}, nextMinutes, trigger);
}

void EventChain::Warn(PlannedEvent& planned, std::int32_t minutes) {
    if (planned.Skipped || !planned.Event || !planned.Coordinate) {
        return;
    }
    const Settings& s = settings_;
    const RandomEvent& event = *planned.Event;
    const bool chained = planned.From == PlannedEvent::Source::Chain;
    const auto texts = ComposeWarningTexts(s, event, GameMap::WorldToLatLon(*planned.Coordinate),
                                           minutes, planned.StartsAt, &GameStrnicmp);
    if (!planned.Warned) {
        // Judged once, here (the hours by its start): players are not told of an event that
        // does not come.
        if (const auto skip = SkipReason(planned.StartsAt)) {
            planned.Skipped = skip->first;
            RecordSkip(chained ? "timer" : "at", *skip, planned.Event);
            Keep();
            return;
        }
        planned.Warned = true;
        if (chained) {
            Keep();
        }
        services_.Discord.Post(
            event.EventId,
            {texts.DiscordMessage, {}, event.DiscordImageUrl, UtcText(planned.StartsAt)});
    }
    if (s.Debug) {
        PluginLog()->info("Warning of event {}: it starts in {} minute(s)", Name(event), minutes);
    }
    if (!s.BroadcastEventWarningMessage.empty()) {
        auto job = MakeRconJob(s, event.EventId, {}, texts.Broadcast);
        job.Warning = true;
        services_.Rcon.Submit(std::move(job));
    }
}

std::optional<std::pair<std::string, std::string>> EventChain::SkipReason(
    system_clock::time_point hoursAt) {
    const Settings& s = settings_;
    if (auto running = RunningReason(hoursAt)) {
        return running;
    }
    if (s.MinimumPlayersOnline > 0) {
        const int players = GamePlayersOnline();
        if (players < s.MinimumPlayersOnline) {
            return std::pair{std::to_string(players) + " player(s) online, " +
                                 std::to_string(s.MinimumPlayersOnline) + " needed",
                             std::string("players")};
        }
    }
    if (s.ActiveHours) {
        const int minute = platform::MinuteOfDayIn(s.TimeZone, hoursAt);
        if (!InActiveHours(*s.ActiveHours, minute)) {
            return std::pair{ClockText(minute) + " is outside ActiveHours " + s.ActiveHours->Text,
                             std::string("hours")};
        }
    }
    return std::nullopt;
}

void EventChain::RecordSkip(const char* trigger, const std::pair<std::string, std::string>& skip,
                            const std::optional<RandomEvent>& event) {
    PluginLog()->info("Event skipped: {}", skip.first);
    auto record = Record(trigger, "skipped");
    record.Reason = skip.first;
    record.SkipKind = skip.second;
    if (event) {
        record.EventId = event->EventId;
        record.Eventlabel = event->Eventlabel;
    }
    services_.History.Add(std::move(record));
}

void EventChain::RecordNothingToStart(const char* trigger, const std::string& why) {
    auto record = Record(trigger, "skipped");
    record.Reason = why;
    const auto& events = settings_.RandomEvents;
    record.SkipKind = events.empty() ? "no events"
                      : std::all_of(events.begin(), events.end(),
                                    [](const RandomEvent& e) { return e.Weight == 0; })
                          ? "weight 0"
                          : "no coordinates";
    services_.History.Add(std::move(record));
}

EventRecord EventChain::Record(const char* trigger, const char* outcome) const {
    EventRecord record;
    record.Time = Now();
    record.Server = settings_.ServerKey;
    record.Trigger = trigger;
    record.Outcome = outcome;
    return record;
}

std::int32_t EventChain::ArmNext(const std::string* justStarted) {
    const std::int32_t minutes =
        random_.Int(settings_.MinimumTimeToNextEvent, settings_.MaximumTimeToNextEvent);
    ArmChain(MinutesToSeconds(minutes), nullptr, justStarted);
    return minutes;
}

void EventChain::ArmChain(std::int32_t seconds, const KeptEvent* kept,
                          const std::string* justStarted) {
    const auto& events = settings_.RandomEvents;
    PlannedEvent planned;
    planned.Seconds = seconds;
    planned.StartsAt = kept ? kept->Next : Now() + std::chrono::seconds((std::max)(seconds, 0));
    if (kept) {
        planned.Skipped = kept->Skipped;
    }
    // With warnings the event is drawn now, so that they can name it; a kept one stays.
    if (Warnings()) {
        const auto same = std::find_if(events.begin(), events.end(), [&](const RandomEvent& event) {
            return kept && kept->EventId == event.EventId;
        });
        if (same != events.end() && kept->Coordinate) {
            planned.Event = *same;
            planned.Coordinate = *kept->Coordinate;
            planned.Warned = kept->Warned;
        } else if (const auto draw = DrawEvent(std::nullopt, planned.NothingToStart, justStarted)) {
            planned.Event = draw->Event;
            planned.Coordinate = draw->Coordinate;
        }
    }
    const auto warnings = planned.Event && !planned.Skipped ? settings_.EventWarningMinutes
                                                            : std::vector<std::int32_t>();
    const auto& armed = *plan_.Find(plan_.Arm(std::move(planned), warnings));
    armed_ = ArmedTimer{armed.ArmedAt, armed.Seconds};
    Keep();
}

void EventChain::Keep() {
    if (!settings_.KeepScheduleAcrossRestarts || services_.Schedule == nullptr) {
        return;
    }
    std::optional<KeptSchedule> kept;
    std::vector<KeptSkip> skips;
    for (const auto& [entry, planned] : plan_.Entries()) {
        if (planned.From == PlannedEvent::Source::Chain) {
            kept = KeptSchedule{{planned.StartsAt, {}, {}, planned.Warned, planned.Skipped}, {}};
            if (planned.Event && planned.Coordinate) {
                kept->Next.EventId = planned.Event->EventId;
                kept->Next.Coordinate = *planned.Coordinate;
            }
        } else if (planned.Skipped && planned.Event) {
            skips.push_back({planned.Event->EventId, planned.StartsAt, *planned.Skipped});
        }
    }
    if (kept) {
        kept->FixedSkips = std::move(skips);
        services_.Schedule->Save(settings_.ServerKey, *kept);
    }
}

void EventChain::PlanFixedTimes(const std::vector<KeptSkip>& skips) {
    for (const auto& event : settings_.RandomEvents) {
        const auto& entries = plan_.Entries();
        const bool planned = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return entry.second.From == PlannedEvent::Source::Fixed &&
                   entry.second.Event->EventId == event.EventId;
        });
        if (!planned) {
            ArmFixed(event, Now(), skips);
        }
    }
}

void EventChain::ArmFixed(const RandomEvent& event, system_clock::time_point after,
                          const std::vector<KeptSkip>& skips) {
    if (event.At.empty() || event.RandomCCCs.empty()) {
        return;
    }
    const auto next = NextFixedTime(event.At, settings_.TimeZone,
                                    std::chrono::floor<std::chrono::seconds>(after));
    if (!next) {
        return;
    }
    PlannedEvent planned;
    planned.From = PlannedEvent::Source::Fixed;
    planned.Event = event;
    planned.StartsAt = *next;
    planned.Seconds = SecondsUntil(*next, Now());
    // Judged already, before a reload or a restart: it stays skipped, and nothing is said.
    for (const auto& skip : skips) {
        if (skip.EventId != event.EventId) {
            continue;
        }
        if (skip.At == *next) {
            planned.Skipped = skip.Reason;
            plan_.Arm(std::move(planned), {});
            return;
        }
        if (skip.At > after) {
            PluginLog()->info(
                "The kept skip of {} at {} is not its next fixed time ({}): it is dropped",
                event.EventId, UtcText(skip.At), UtcText(*next));
        }
    }
    if (Warnings()) {
        planned.Coordinate = DrawCoordinate(event);
    }
    plan_.Arm(std::move(planned), settings_.EventWarningMinutes);
}

void EventChain::Rearm() {
    if (!armed_) {
        return;
    }
    // An event already warned of keeps its time: players were told. A fixed time judged not
    // to start stays skipped.
    std::vector<std::uint64_t> others;
    std::vector<KeptSkip> skips;
    bool chainKept = false;
    for (const auto& [entry, planned] : plan_.Entries()) {
        if (planned.From == PlannedEvent::Source::End) {
            continue;  // an event that runs ends as planned when it started
        }
        if (planned.Warned && !planned.Skipped) {
            chainKept = chainKept || planned.From == PlannedEvent::Source::Chain;
        } else {
            if (planned.Skipped && planned.Event && planned.From == PlannedEvent::Source::Fixed) {
                skips.push_back({planned.Event->EventId, planned.StartsAt, *planned.Skipped});
            }
            others.push_back(entry);
        }
    }
    if (others.size() == plan_.Entries().size()) {
        plan_.DropAll();
    } else {
        for (const auto entry : others) {
            plan_.Take(entry);
        }
    }
    if (!chainKept) {
        parked_.reset();
        ArmNext(nullptr);
    }
    PlanFixedTimes(skips);
    ParkChain();
    Keep();
}

StartOutcome EventChain::StartNow(const std::optional<std::string>& eventId) {
    if (const auto running = RunningReason(Now())) {
        return {false, "None started: " + running->first + "; quorvane.end ends it now"};
    }
    if (!eventId) {
        std::optional<std::uint64_t> warned;
        for (const auto& [entry, planned] : plan_.Entries()) {
            if (planned.Warned && !planned.Skipped && planned.Event && planned.Coordinate &&
                (!warned || planned.StartsAt < plan_.Find(*warned)->StartsAt)) {
                warned = entry;
            }
        }
        if (warned) {
            // As at its time: its chain or its fixed times go on from it.
            const auto planned = *plan_.Take(*warned);
            const auto minutes = Continue(planned);
            Start({*planned.Event, *planned.Coordinate}, minutes, "quorvane.next");
            return LastOutcome();
        }
    }
    std::string why;
    const auto draw = DrawEvent(eventId, why);
    if (!draw) {
        return {false, why};
    }
    Start(*draw, std::nullopt, "quorvane.next");
    return LastOutcome();
}

StartOutcome EventChain::LastOutcome() const {
    const std::string name = last_->EventId + " (" + last_->Eventlabel + ")";
    if (last_->Refused) {
        return {false, "Event " + name + " not started: " + *last_->Refused};
    }
    return {true, "Started event " + name};
}

void EventChain::DropTimers() {
    plan_.DropAll();
    armed_.reset();
    parked_.reset();
}

std::optional<EventChain::Draw> EventChain::DrawEvent(const std::optional<std::string>& eventId,
                                                      std::string& why,
                                                      const std::string* justStarted) {
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
        if (std::all_of(events.begin(), events.end(),
                        [](const RandomEvent& e) { return e.Weight == 0; })) {
            why = "Every event has Weight 0: none is drawn, they start only at their At times";
            return std::nullopt;
        }
        const auto index = justStarted
                               ? DrawEventIndex(events, WithLast(recent_, *justStarted),
                                                settings_.AvoidRepeats, random_)
                               : DrawEventIndex(events, recent_, settings_.AvoidRepeats, random_);
        event = &events[index];
        if (event->RandomCCCs.empty()) {
            PluginLog()->warn("Event {} ({}) has no coordinates; not started", event->EventId,
                              event->Eventlabel);
            why = "The event drawn has no coordinates; none started";
            return std::nullopt;
        }
    }
    return Draw{*event, DrawCoordinate(*event)};
}

const WorldCoordinate& EventChain::DrawCoordinate(const RandomEvent& event) {
    const auto& coordinates = event.RandomCCCs;
    return coordinates[random_.Index(static_cast<std::uint32_t>(coordinates.size()))];
}

void EventChain::Start(const Draw& draw, std::optional<std::int32_t> nextMinutes,
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
    auto texts = ComposeEventTexts(s, event, coordinate, position, &GameStrnicmp);
    // The record comes first: the delivery and the post may be done before this returns.
    auto record = Record(trigger, "started");
    record.EventId = event.EventId;
    record.Eventlabel = event.Eventlabel;
    record.Coordinate = coordinate;
    record.Position = position;
    const std::string startedUtc = UtcText(record.Time);
    const std::uint64_t id = services_.History.Begin(std::move(record), false, false);
    // The announcement does not depend on the delivery taking the job.
    if (!services_.Discord.Post(event.EventId,
                                {std::move(texts.DiscordMessage), std::move(texts.DiscordHeader),
                                 event.DiscordImageUrl, startedUtc},
                                id)) {
        services_.History.DiscordDone(
            id, services_.Discord.Stopped() ? "not posted: posting stopped" : "none");
    }
    // Last: once woken, the delivery's connections compete with this thread for the cores.
    auto job = MakeRconJob(s, event.EventId, std::move(texts.EventCommand), texts.Broadcast);
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
    const bool started = !refused;
    last_ = StartedEvent{
        event.EventId,     event.Eventlabel, coordinate, position, std::chrono::steady_clock::now(),
        std::move(refused)};
    if (started && event.DurationMinutes > 0) {
        const auto began = Now();
        ArmEnd(event, coordinate, began,
               began + std::chrono::seconds(MinutesToSeconds(event.DurationMinutes)),
               ComposeEndTexts(s, event, position, &GameStrnicmp).EndCommand);
        ParkChain();
    }
}

std::vector<const PlannedEvent*> EventChain::Running() const {
    std::vector<const PlannedEvent*> running;
    for (const auto& [entry, planned] : plan_.Entries()) {
        if (planned.From == PlannedEvent::Source::End) {
            running.push_back(&planned);
        }
    }
    std::stable_sort(running.begin(), running.end(),
                     [](const auto* a, const auto* b) { return a->StartsAt < b->StartsAt; });
    return running;
}

std::optional<std::pair<std::string, std::string>> EventChain::RunningReason(
    system_clock::time_point at) const {
    for (const auto* running : Running()) {
        if (running->StartsAt > at) {
            return std::pair{
                "event " + Name(*running->Event) + " runs until " + UtcText(running->StartsAt),
                std::string("running")};
        }
    }
    return std::nullopt;
}

void EventChain::ArmEnd(const RandomEvent& event, const WorldCoordinate& coordinate,
                        system_clock::time_point began, system_clock::time_point ends,
                        std::string endCommand) {
    PlannedEvent end;
    end.From = PlannedEvent::Source::End;
    end.Event = event;
    end.Coordinate = coordinate;
    end.Began = began;
    end.StartsAt = ends;
    end.Seconds = SecondsUntil(ends, Now());
    end.EndCommand = std::move(endCommand);
    plan_.Arm(std::move(end), {});
    KeepRunning();
}

void EventChain::End(const PlannedEvent& end, const char* trigger) {
    const Settings& s = settings_;
    const RandomEvent& event = *end.Event;
    const LatLon position = GameMap::WorldToLatLon(*end.Coordinate);
    auto texts = ComposeEndTexts(s, event, position, &GameStrnicmp);
    auto record = Record(trigger, "ended");
    record.EventId = event.EventId;
    record.Eventlabel = event.Eventlabel;
    record.Coordinate = *end.Coordinate;
    record.Position = position;
    const double seconds = std::chrono::duration<double>(record.Time - end.Began).count();
    record.RanMinutes = std::round((std::max)(seconds, 0.0) / 6.0) / 10.0;
    if (end.EndCommand.empty()) {
        record.Reason = "no EndCommand";
    }
    PluginLog()->info("Event {} ends ({}) after {} min", Name(event), trigger,
                      FormatG(*record.RanMinutes));
    const std::string endedUtc = UtcText(record.Time);
    const std::uint64_t id = services_.History.Begin(std::move(record), false, false);
    auto job = MakeRconJob(s, event.EventId, end.EndCommand, texts.Broadcast);
    job.End = true;
    job.RecordId = id;
    if (texts.Broadcast.Command.empty()) {
        job.Targets.clear();  // no end announcement
    }
    if (job.BroadcastOnly() && job.Targets.empty()) {
        services_.History.RconDone(id, {});
    } else if (const auto refused = services_.Rcon.Submit(std::move(job))) {
        services_.History.RconDone(id, {{s.ServerKey, "not sent: " + *refused}});
    }
    if (s.DiscordEndEventMessage.empty() ||
        !services_.Discord.Post(
            event.EventId, {std::move(texts.DiscordMessage), {}, event.DiscordImageUrl, endedUtc},
            id)) {
        services_.History.DiscordDone(
            id, services_.Discord.Stopped() ? "not posted: posting stopped" : "none");
    }
}

StartOutcome EventChain::EndNow(const std::optional<std::string>& eventId) {
    std::vector<std::uint64_t> ends;
    std::string names;
    for (const auto& [entry, planned] : plan_.Entries()) {
        if (planned.From == PlannedEvent::Source::End &&
            (!eventId || planned.Event->EventId == *eventId)) {
            ends.push_back(entry);
            names += (names.empty() ? "" : ", ") + Name(*planned.Event);
        }
    }
    if (ends.empty()) {
        std::string running;
        for (const auto* planned : Running()) {
            running += (running.empty() ? "" : ", ") + planned->Event->EventId;
        }
        return {false, running.empty()
                           ? "No event is running"
                           : "Event " + *eventId + " is not running; running: " + running};
    }
    for (const auto entry : ends) {
        End(*plan_.Take(entry), "quorvane.end");
    }
    KeepRunning();
    UnparkChain();
    return {true, "Ended event " + names};
}

void EventChain::ResumeRunning() {
    if (services_.Schedule == nullptr) {
        return;
    }
    const auto kept = services_.Schedule->LoadRunning(settings_.ServerKey);
    runningKept_ = !kept.empty();
    const auto now = Now();
    for (const auto& running : kept) {
        // The event as configured now, else as it was kept: its end runs either way.
        const auto& events = settings_.RandomEvents;
        const auto same = std::find_if(events.begin(), events.end(), [&](const RandomEvent& e) {
            return e.EventId == running.EventId;
        });
        RandomEvent event = same != events.end() ? *same : RandomEvent{};
        event.EventId = running.EventId;
        event.Eventlabel = same != events.end() ? same->Eventlabel : running.Eventlabel;
        PlannedEvent end;
        end.From = PlannedEvent::Source::End;
        end.Event = event;
        end.Coordinate = running.Coordinate;
        end.Began = running.Started;
        end.StartsAt = running.Ends;
        end.EndCommand = running.EndCommand;
        if (running.Ends <= now) {
            PluginLog()->info(
                "Event {} was to end at {}, while the plugin was not running: it ends now",
                Name(event), UtcText(running.Ends));
            End(end, "load");
            continue;
        }
        PluginLog()->info("Event {} runs until {}: its end is resumed", Name(event),
                          UtcText(running.Ends));
        end.Seconds = SecondsUntil(running.Ends, now);
        plan_.Arm(std::move(end), {});
    }
    KeepRunning();
}

void EventChain::KeepRunning() {
    if (services_.Schedule == nullptr) {
        return;
    }
    std::vector<KeptEnd> kept;
    for (const auto* running : Running()) {
        if (!running->EndCommand.empty() || settings_.KeepScheduleAcrossRestarts) {
            kept.push_back({running->Event->EventId, running->Event->Eventlabel,
                            *running->Coordinate, running->Began, running->StartsAt,
                            running->EndCommand});
        }
    }
    // Nothing is written for a server that never kept a running event: the file stays as it is.
    if (kept.empty() && !runningKept_) {
        return;
    }
    runningKept_ = !kept.empty();
    services_.Schedule->SaveRunning(settings_.ServerKey, kept);
}

void EventChain::ParkChain() {
    if (Running().empty()) {
        return;
    }
    for (const auto& [entry, planned] : plan_.Entries()) {
        if (planned.From == PlannedEvent::Source::Chain) {
            auto held = *plan_.Take(entry);
            held.Seconds = SecondsUntil(held.StartsAt, Now());
            // Its warnings are given again before its new time.
            held.Warned = false;
            parked_ = std::move(held);
            return;
        }
    }
}

void EventChain::UnparkChain() {
    if (!parked_ || !Running().empty()) {
        return;
    }
    PlannedEvent planned = std::move(*parked_);
    parked_.reset();
    planned.StartsAt = Now() + std::chrono::seconds(planned.Seconds);
    const auto warnings = planned.Event && !planned.Skipped ? settings_.EventWarningMinutes
                                                            : std::vector<std::int32_t>();
    const auto& armed = *plan_.Find(plan_.Arm(std::move(planned), warnings));
    armed_ = ArmedTimer{armed.ArmedAt, armed.Seconds};
    Keep();
}

}  // namespace quorvane
