#pragma once
// Which event a run starts: every event alike when each weighs 1 (one uniform draw of an
// index), else by weight (one uniform draw over the sum of the weights, in the order of the
// events); either way, with `avoidRepeats`, only among the events that can start (those with
// coordinates) and without those among the last `avoidRepeats` started while another
// remains. Pure.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "events/EventRandom.h"

namespace quorvane {

// The index of the event to start in `events` (at least one of weight above 0; an event of
// weight 0 is never drawn). `recent` holds the ids of the
// events started last, the newest at the back.
std::uint32_t DrawEventIndex(const std::vector<RandomEvent>& events,
                             const std::deque<std::string>& recent, std::int32_t avoidRepeats,
                             EventRandom& random);

// Each event's chance to be drawn when nothing is left out: its weight over the sum, in the
// order of the events.
std::vector<double> EventShares(const std::vector<RandomEvent>& events);

}  // namespace quorvane
