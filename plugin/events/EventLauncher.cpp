#include "events/EventLauncher.h"

#include <algorithm>
#include <optional>

#include "config/Settings.h"
#include "core/PluginLog.h"
#include "events/EventRandom.h"
#include "events/EventTexts.h"
#include "events/EventTimer.h"
#include "map/MapProjector.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconFanout.h"

namespace quorvane {

void ScheduleFirstEvent() {
    const Settings& s = EventSettings();
    if (s.Debug) {
        PluginLog()->info("Server Ready");
    }
    const std::int32_t minutes = RandomInt(s.MinimumTimeToWait, s.MaximumTimeToWait);
    if (s.Debug) {
        PluginLog()->info("Time to wait: {}", minutes);
    }
    ArmEventTimer(&StartEvent, MinutesToSeconds(minutes));
}

namespace {

struct EventDraw {
    const RandomEvent& Event;
    const WorldCoordinate& Coordinate;
};

// The event and the coordinate of one run; none, with a warning, when there is nothing to
// start.
std::optional<EventDraw> DrawEvent(const Settings& s) {
    if (s.RandomEvents.empty()) {
        PluginLog()->warn("No events are configured for this server; none started");
        return std::nullopt;
    }
    const RandomEvent& event =
        s.RandomEvents[RandomIndex(static_cast<std::uint32_t>(s.RandomEvents.size()))];
    if (event.RandomCCCs.empty()) {
        PluginLog()->warn("Event {} ({}) has no coordinates; not started", event.EventId,
                          event.Eventlabel);
        return std::nullopt;
    }
    return EventDraw{
        event, event.RandomCCCs[RandomIndex(static_cast<std::uint32_t>(event.RandomCCCs.size()))]};
}

void DispatchEvent(const Settings& s, const RandomEvent& event, const EventTexts& texts) {
    // An event that cannot reach the servers is not announced on Discord either.
    if (RconFanout::Submit(
            MakeRconJob(s, event.EventId, texts.EventCommand, texts.BroadcastText))) {
        DiscordNotifier::PostAnnouncement(texts.DiscordMessage, texts.DiscordHeader);
    }
}

std::optional<StartedEvent>& LastEvent() {
    static std::optional<StartedEvent> last;
    return last;
}

// One drawn event, from the Debug lines to its dispatch. `minutes` is the next wait of a timed
// run, for the Debug lines.
void Start(const Settings& s, const EventDraw& draw, std::optional<std::int32_t> minutes) {
    const auto& [event, coordinate] = draw;
    if (s.Debug) {
        auto& log = *PluginLog();
        log.info("Starting event!");
        log.info("Event: {}", event.Eventlabel);
        log.info("Coordinate: {:g}, {:g}, {:g}", static_cast<double>(coordinate.X),
                 static_cast<double>(coordinate.Y), static_cast<double>(coordinate.Z));
        log.info("Command: {}", MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate));
        if (minutes) {
            log.info("Time to next event: {}", *minutes);
        }
    }
    const LatLon position = MapProjector::WorldToLatLon(coordinate);
    DispatchEvent(s, event, ComposeEventTexts(s, event, coordinate, position));
    LastEvent() = StartedEvent{event.EventId, event.Eventlabel, coordinate, position,
                               std::chrono::steady_clock::now()};
}

void StartRandomEvent() {
    const Settings& s = EventSettings();
    const std::int32_t minutes = RandomInt(s.MinimumTimeToNextEvent, s.MaximumTimeToNextEvent);
    // First, so that the chain goes on whatever becomes of this event.
    ArmEventTimer(&StartEvent, MinutesToSeconds(minutes));
    if (const auto draw = DrawEvent(s)) {
        Start(s, *draw, minutes);
    }
}

std::string Ids(const Settings& s) {
    std::string ids;
    for (const auto& event : s.RandomEvents) {
        ids += (ids.empty() ? "" : ", ") + event.EventId;
    }
    return ids.empty() ? "none" : ids;
}

}  // namespace

std::string StartEventNow(const std::optional<std::string>& eventId) {
    const Settings& s = EventSettings();
    if (!eventId) {
        const auto draw = DrawEvent(s);
        if (!draw) {
            return s.RandomEvents.empty() ? "No events are configured for this server"
                                          : "The event drawn has no coordinates; none started";
        }
        Start(s, *draw, std::nullopt);
    } else {
        const auto event = std::find_if(s.RandomEvents.begin(), s.RandomEvents.end(),
                                        [&](const RandomEvent& e) { return e.EventId == *eventId; });
        if (event == s.RandomEvents.end()) {
            return "Unknown event id " + *eventId + "; the events are: " + Ids(s);
        }
        if (event->RandomCCCs.empty()) {
            return "Event " + *eventId + " has no coordinates; none started";
        }
        Start(s,
              {*event, event->RandomCCCs[RandomIndex(
                           static_cast<std::uint32_t>(event->RandomCCCs.size()))]},
              std::nullopt);
    }
    const auto& last = *LastEvent();
    return "Started event " + last.EventId + " (" + last.Eventlabel + ")";
}

const std::optional<StartedEvent>& LastStartedEvent() {
    return LastEvent();
}

void StartEvent() {
    // A timer callback runs on the game thread with nothing around it: what escapes here
    // would end the server.
    try {
        StartRandomEvent();
    } catch (const std::exception& e) {
        PluginLog()->error("Event not started: {}", e.what());
    } catch (...) {
        PluginLog()->error("Event not started: unknown error");
    }
}

}  // namespace quorvane
