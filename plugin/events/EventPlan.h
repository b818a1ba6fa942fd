#pragma once
// What starts when: each coming event, the random chain's and each fixed time's, with the
// countdown warnings that fit before it. The one place that arms the plugin's event timers: an
// event's warnings and its start are armed together, one host timer each, so that a warning
// comes exactly its minutes before the start in the timers' own seconds, however fast they
// run. On the game thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/Settings.h"

namespace quorvane {

// Minutes as timer seconds; saturates instead of overflowing 32 bits.
std::int32_t MinutesToSeconds(std::int32_t minutes);

struct PlannedEvent {
    // End: the end of an event that runs, at StartsAt.
    enum class Source { Chain, Fixed, End };
    Source From = Source::Chain;
    // Drawn when it was armed: with warnings, and for a fixed time its event.
    std::optional<RandomEvent> Event;
    std::optional<WorldCoordinate> Coordinate;
    // Why nothing could be drawn when it was armed.
    std::string NothingToStart;
    std::int32_t Seconds = 0;  // from arming to the start, in the timers' seconds
    std::chrono::steady_clock::time_point ArmedAt;
    std::chrono::system_clock::time_point StartsAt;  // by the wall clock
    // The minutes of the warnings armed, longest first.
    std::vector<std::int32_t> Warnings;
    // Its first warning went out: it starts unless the delivery refuses it.
    bool Warned = false;
    // Why it does not start, as judged at its first warning.
    std::optional<std::string> Skipped;
    // An end: when its event started, and its EndCommand as filled then.
    std::chrono::system_clock::time_point Began;
    std::string EndCommand;
};

class EventPlan {
  public:
    // What one timer is for: a warning of so many minutes, or (0) the start.
    struct Step {
        std::uint64_t Entry;
        std::int32_t WarningMinutes;
    };

    // The host's timers call `onTimer` with the step they were armed for.
    explicit EventPlan(std::function<void(std::uint64_t step)> onTimer);

    // Arms the start of `event` in its Seconds (none below 0), and before it each of `warnings`
    // shorter than that wait, its minutes earlier; the others are left out. Its entry.
    std::uint64_t Arm(PlannedEvent event, const std::vector<std::int32_t>& warnings);
    // What a timer that fired is for, once; none for a timer of an entry taken out since.
    std::optional<Step> Fired(std::uint64_t step);
    PlannedEvent* Find(std::uint64_t entry);
    // Takes an entry out of the plan: its timers that are still pending do nothing.
    std::optional<PlannedEvent> Take(std::uint64_t entry);
    // Every entry out, and every timer of the plugin's dropped at the host.
    void DropAll();

    const std::map<std::uint64_t, PlannedEvent>& Entries() const { return entries_; }

  private:
    void ArmStep(std::uint64_t entry, std::int32_t warningMinutes, std::int32_t seconds);

    std::function<void(std::uint64_t)> onTimer_;
    // The host owns the timers by this module's path; every timer has the same identifier, so
    // that they can be told from another plugin's and dropped together. Looked up once.
    const std::wstring timerId_;
    std::map<std::uint64_t, PlannedEvent> entries_;
    std::map<std::uint64_t, Step> steps_;
    std::uint64_t next_ = 1;
};

}  // namespace quorvane
