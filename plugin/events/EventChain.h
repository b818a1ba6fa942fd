#pragma once
// The chain of events: a first wait once the server is up, then an event, and from each event
// a random wait to the next, as one-shot timers of the host; and events started at once by an
// admin. On the game thread.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "events/EventRandom.h"
#include "history/EventHistory.h"
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

// What the chain hands its events to; each outlives the chain.
struct ChainServices {
    RconService& Rcon;
    DiscordNotifier& Discord;
    EventHistory& History;
    // What the host's timers call; it must lead back to OnTimer.
    std::function<void()> OnTimer;
};

class EventChain {
  public:
    // `settings` outlives the chain. The chain is told what becomes of its events' messages
    // and posts, for their history lines.
    EventChain(const Settings& settings, ChainServices services);

    // Starts a chain: the first event after a random wait.
    void ScheduleFirst();
    // The timer: re-arms itself for the next event first, then, unless too few players are
    // online or it is outside the active hours, starts one random event at one of its
    // coordinates. Every due event goes into the history.
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
    // Why a due event is skipped, and the kind of reason; none when it may start.
    std::optional<std::pair<std::string, std::string>> SkipReason();
    // The event (the one with `eventId`, else a random one) and one of its coordinates; none,
    // with the reason, when there is nothing to start.
    std::optional<Draw> DrawEvent(const std::optional<std::string>& eventId, std::string& why);
    StartOutcome Start(const Draw& draw, std::optional<std::int32_t> nextMinutes,
                       const char* trigger);
    EventRecord Record(const char* trigger, const char* outcome) const;

    const Settings& settings_;
    ChainServices services_;
    EventRandom random_;
    // The ids of the events started last, the newest at the back; as many as AvoidRepeats can
    // ask for.
    std::deque<std::string> recent_;
    std::optional<ArmedTimer> armed_;
    std::optional<StartedEvent> last_;
};

}  // namespace quorvane
