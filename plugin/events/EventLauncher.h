#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "map/MapProjector.h"

namespace quorvane {

// Starts an event chain: the first event after a random wait.
void ScheduleFirstEvent();

// The timer callback: re-arms itself for the next event first, then starts one random
// event at one of its coordinates, over RCON and on Discord. Throws nothing: a failure is
// logged.
void StartEvent();

// Starts one event now, the one with `eventId` or a random one, the way a timed one starts,
// leaving the chain of timers as it is. What happened, in one line for an admin.
std::string StartEventNow(const std::optional<std::string>& eventId);

// The last event started.
struct StartedEvent {
    std::string EventId;
    std::string Eventlabel;
    WorldCoordinate Coordinate;
    LatLon Position;
    std::chrono::steady_clock::time_point At;
};
const std::optional<StartedEvent>& LastStartedEvent();

}  // namespace quorvane
