#pragma once
// What a player who types PlayerCommand is told of this server's events: each one running now
// with its time left, each one already
// warned of (its label, where, and in how long), then the next fixed time of each event not yet
// warned of; otherwise that no event is announced yet. What the random chain draws stays a
// surprise until it is warned of. UTF-8, one event a line, bounded in length.

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "events/EventPlan.h"
#include "map/MapProjection.h"
#include "platform/TimeZone.h"

namespace quorvane {

// At most this many events are named; the rest are counted.
inline constexpr std::size_t kMostComingEvents = 8;
// A label is cut to this many characters.
inline constexpr std::size_t kMostLabelCharacters = 48;

struct ComingEventsInput {
    const std::map<std::uint64_t, PlannedEvent>& Entries;
    std::chrono::system_clock::time_point Now;
    // Where a coordinate lies on the running map.
    std::function<LatLon(const WorldCoordinate&)> Position;
    // The zone of the fixed times (TimeZone).
    platform::Zone Zone;
};

std::string ComingEventsText(const ComingEventsInput& input);

// "5 min", "2 h 15 min", "3 d 4 h": the time until an event, rounded up to the minute.
std::string TimeUntil(std::chrono::system_clock::duration left);

}  // namespace quorvane
