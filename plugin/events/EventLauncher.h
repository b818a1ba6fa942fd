#pragma once

namespace quorvane {

// Starts an event chain: the first event after a random wait.
void ScheduleFirstEvent();

// The timer callback: re-arms itself for the next event first, then starts one random
// event at one of its coordinates, over RCON and on Discord. Throws nothing: a failure is
// logged.
void StartEvent();

}  // namespace quorvane
