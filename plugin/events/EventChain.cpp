#include "events/EventChain.h"

#include <algorithm>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "events/EventTexts.h"
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

EventChain::EventChain(const Settings& settings, RconService& rcon, DiscordNotifier& discord,
                       std::function<void()> onTimer)
    : settings_(settings), rcon_(rcon), discord_(discord), onTimer_(std::move(onTimer)) {}

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
    std::string why;
    if (const auto draw = DrawEvent(std::nullopt, why)) {
        Start(*draw, minutes);
    }
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
    return Start(*draw, std::nullopt);
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
    API::Timer::Get().DelayExecute(TimerIdentifier(), onTimer_, seconds);
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
        event = &events[random_.Index(static_cast<std::uint32_t>(events.size()))];
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

StartOutcome EventChain::Start(const Draw& draw, std::optional<std::int32_t> nextMinutes) {
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
    auto refused =
        rcon_.Submit(MakeRconJob(s, event.EventId, texts.EventCommand, texts.BroadcastText));
    // The announcement does not depend on the delivery taking the job.
    discord_.Post(event.EventId, texts.DiscordMessage, texts.DiscordHeader);
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
