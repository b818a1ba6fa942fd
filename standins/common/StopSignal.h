#pragma once

#include <optional>

namespace standin {

// Call first in main, before any thread starts, so that the stop request reaches this wait.
void PrepareStopSignal();
// Returns when the process is asked to stop (Ctrl-C, SIGTERM): true; or after `seconds`:
// false.
bool WaitForStop(std::optional<double> seconds);

}  // namespace standin
