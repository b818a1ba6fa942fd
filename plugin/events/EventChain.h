#pragma once
// The chain of events: a first wait once the server is up, then an event, and from each event
// a random wait to the next, as one-shot timers of the host; and events started at once by an
// admin. On the game thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "events/EventRandom.h"
#include "map/MapProjection.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconService.h"

namespace quorvane {

// Minutes as timer seconds; saturates instead of overflowing 32 bits.
std::int32_t MinutesToSeconds(std::int32_t minutes);

// The last timer armed: when, and for how long.
struct ArmedTimer {
    std::chrono::steady_clock::time_point At;
    std::int32_t Seconds;
};

// The last event started.
struct StartedEvent {
    std::string EventId;
    std::string Eventlabel;
    WorldCoordinate Coordinate;
    LatLon Position;
    std::chrono::steady_clock::time_point At;
    // Why the RCON delivery refused it; none when it was handed over.
    std::optional<std::string> Refused;
};

// What became of an event started at once, in one line for an admin.
struct StartOutcome {
    bool Started;
    std::string Text;
};

class EventChain {
  public:
    // `settings`, `rcon` and `discord` outlive the chain; `onTimer` is what the host's timers
    // call, and must lead back to OnTimer.
    EventChain(const Settings& settings, RconService& rcon, DiscordNotifier& discord,
               std::function<void()> onTimer);

    // Starts a chain: the first event after a random wait.
    void ScheduleFirst();
    // The timer: re-arms itself for the next event first, then starts one random event at one
    // of its coordinates.
    void OnTimer();
    // The pending wait is drawn again by the settings as they are now: after a reload.
    void Rearm();
    // Starts one event now, the one with `eventId` or a random one, the way a timed one
    // starts, leaving the timers as they are.
    StartOutcome StartNow(const std::optional<std::string>& eventId);
    // Drops every pending timer of the plugin's.
    void DropTimers();

    EventRandom& Random() { return random_; }
    const std::optional<ArmedTimer>& Armed() const { return armed_; }
    const std::optional<StartedEvent>& Last() const { return last_; }

  private:
    struct Draw {
        const RandomEvent& Event;
        const WorldCoordinate& Coordinate;
    };

    // The wait to the next event: drawn, armed, and its minutes returned.
    std::int32_t ArmNext();
    void Arm(std::int32_t minutes);
    // The event (the one with `eventId`, else a random one) and one of its coordinates; none,
    // with the reason, when there is nothing to start.
    std::optional<Draw> DrawEvent(const std::optional<std::string>& eventId, std::string& why);
    StartOutcome Start(const Draw& draw, std::optional<std::int32_t> nextMinutes);

    const Settings& settings_;
    RconService& rcon_;
    DiscordNotifier& discord_;
    std::function<void()> onTimer_;
    EventRandom random_;
    std::optional<ArmedTimer> armed_;
    std::optional<StartedEvent> last_;
};

}  // namespace quorvane
