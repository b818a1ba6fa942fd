#pragma once
// The chain of events: a first wait once the server is up, then an event, and from each event
// a random wait to the next; each event's fixed times beside it; the countdown warnings before
// each; and events started at once by an admin. What starts when is the plan's (EventPlan),
// which arms the host's timers. On the game thread.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "events/EventPlan.h"
#include "events/EventRandom.h"
#include "events/ScheduleStore.h"
#include "history/EventHistory.h"
#include "map/MapProjection.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconService.h"
#include "platform/Clock.h"

namespace quorvane {

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
    // What the host's timers call with the step they were armed for; it must lead back to
    // OnTimer(step).
    std::function<void(std::uint64_t)> OnTimer;
    // Where the next event is kept across restarts, with KeepScheduleAcrossRestarts.
    ScheduleStore* Schedule = nullptr;
    // The time of the calendar: fixed times, active hours, the kept schedule, the history.
    const platform::WallClock* Clock = &platform::SystemClock();
};

class EventChain {
  public:
    // `settings` outlives the chain. The chain is told what becomes of its events' messages
    // and posts, for their history lines.
    EventChain(const Settings& settings, ChainServices services);

    // Starts a chain: the first event after a random wait, or at the time kept from before a
    // restart; and each event's next fixed time.
    void ScheduleFirst();
    // A timer of the plan's: a warning, or an event's time. A chain's event with nothing drawn
    // for it: the chain re-arms itself first, then, unless too few players are online or it is
    // outside the active hours, starts one random event at one of its coordinates. Every due
    // event goes into the history.
    void OnTimer(std::uint64_t step);
    // The pending waits are drawn again by the settings as they are now: after a reload. An
    // event already warned of keeps its time.
    void Rearm();
    // Starts one event now, the one with `eventId`, else the coming one already warned of (its
    // chain goes on from it), else a random one; leaving the timers as they are.
    StartOutcome StartNow(const std::optional<std::string>& eventId);
    // Ends the running event with `eventId` now, else every running one: while one runs no
    // other starts, so there is more than one only when ends were kept from before a restart.
    StartOutcome EndNow(const std::optional<std::string>& eventId);
    // Drops every pending timer of the plugin's.
    void DropTimers();
    // The events running now (their ends), soonest end first.
    std::vector<const PlannedEvent*> Running() const;
    // The chain's next event, held while an event runs; its Seconds count from the end.
    const std::optional<PlannedEvent>& Parked() const { return parked_; }

    EventRandom& Random() { return random_; }
    const std::optional<ArmedTimer>& Armed() const { return armed_; }
    const std::optional<StartedEvent>& Last() const { return last_; }
    const EventPlan& Plan() const { return plan_; }

  private:
    struct Draw {
        const RandomEvent& Event;
        const WorldCoordinate& Coordinate;
    };

    std::chrono::system_clock::time_point Now() const { return services_.Clock->Now(); }
    bool Warnings() const { return !settings_.EventWarningMinutes.empty(); }

    // The wait to the next event: drawn, armed, and its minutes returned. With warnings its
    // event is drawn too, `justStarted` counting as started last.
    std::int32_t ArmNext(const std::string* justStarted);
    void ArmChain(std::int32_t seconds, const KeptEvent* kept, const std::string* justStarted);
    // Arms the time kept from before a restart, if it is still ahead and within the longest
    // wait the settings can draw.
    bool ResumeKept(const KeptEvent& kept);
    // What follows a planned event whose time has come: its chain's next wait (its minutes), or
    // its next fixed time.
    std::optional<std::int32_t> Continue(const PlannedEvent& planned);
    // The next fixed time of each event that has none planned; one of `skips` stays skipped.
    void PlanFixedTimes(const std::vector<KeptSkip>& skips);
    void ArmFixed(const RandomEvent& event, std::chrono::system_clock::time_point after,
                  const std::vector<KeptSkip>& skips = {});
    // The chain's next event and the fixed times judged not to start into schedule.json, with
    // KeepScheduleAcrossRestarts.
    void Keep();
    void Warn(PlannedEvent& planned, std::int32_t minutes);
    // A due event: planned, or to be drawn now.
    void Due(PlannedEvent& planned, std::optional<std::int32_t> nextMinutes, const char* trigger);
    void DueUndrawn(std::int32_t nextMinutes);
    // An event with a duration started: its end planned, and kept.
    void ArmEnd(const RandomEvent& event, const WorldCoordinate& coordinate,
                std::chrono::system_clock::time_point began,
                std::chrono::system_clock::time_point ends, std::string endCommand);
    // Its EndCommand, the end broadcast and post, and one history line.
    void End(const PlannedEvent& end, const char* trigger);
    // The running events kept in schedule.json: those whose end has come end now, the others
    // are planned.
    void ResumeRunning();
    // The running events with an EndCommand (with KeepScheduleAcrossRestarts, all) into
    // schedule.json.
    void KeepRunning();
    // The chain waits while an event runs: its next event is held with the seconds it had left,
    // which count from the end.
    void ParkChain();
    void UnparkChain();
    // Why nothing starts at `at` on this server: an event runs then.
    std::optional<std::pair<std::string, std::string>> RunningReason(
        std::chrono::system_clock::time_point at) const;
    // Why a due event is skipped, and the kind of reason; none when it may start. The hours are
    // those of `hoursAt`.
    std::optional<std::pair<std::string, std::string>> SkipReason(
        std::chrono::system_clock::time_point hoursAt);
    // One info line and one history line.
    void RecordSkip(const char* trigger, const std::pair<std::string, std::string>& skip,
                    const std::optional<RandomEvent>& event);
    void RecordNothingToStart(const char* trigger, const std::string& why);
    // One of the event's coordinates, at random; it has at least one.
    const WorldCoordinate& DrawCoordinate(const RandomEvent& event);
    // The event (the one with `eventId`, else a random one) and one of its coordinates; none,
    // with the reason, when there is nothing to start.
    std::optional<Draw> DrawEvent(const std::optional<std::string>& eventId, std::string& why,
                                  const std::string* justStarted = nullptr);
    void Start(const Draw& draw, std::optional<std::int32_t> nextMinutes, const char* trigger);
    // What became of the event started last, for an admin.
    StartOutcome LastOutcome() const;
    EventRecord Record(const char* trigger, const char* outcome) const;

    const Settings& settings_;
    ChainServices services_;
    EventRandom random_;
    EventPlan plan_;
    // The ids of the events started last, the newest at the back; as many as AvoidRepeats can
    // ask for.
    std::deque<std::string> recent_;
    std::optional<ArmedTimer> armed_;
    std::optional<StartedEvent> last_;
    std::optional<PlannedEvent> parked_;
    // Whether schedule.json holds running events of this server's.
    bool runningKept_ = false;
};

}  // namespace quorvane
