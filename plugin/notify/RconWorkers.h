#pragma once

#include <chrono>

#include "notify/RconJob.h"

namespace quorvane {

// Runs RconFanout for `job` on a thread of its own; the caller never waits for it. Throws
// std::system_error when no thread can be started.
void StartRconWorker(RconJob job);

// Waits up to `limit` for the workers running now to finish, and joins them; false when
// some did not finish in time.
bool WaitForRconWorkers(std::chrono::milliseconds limit);

// For unloading: ends the clients that are running, lets no new one start, and waits up to
// `limit` for every worker, so that none runs once the plugin's code is gone.
void StopRconWorkers(std::chrono::milliseconds limit);

}  // namespace quorvane
