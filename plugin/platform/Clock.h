#pragma once
// The wall clock, the one time the plugin reads for what the calendar names: fixed times, active
// hours, the kept schedule, the history's times. One seam, so that tests can set the time. The
// host's timers run in their own seconds and are never compared with it.

#include <chrono>

namespace quorvane::platform {

class WallClock {
  public:
    virtual std::chrono::system_clock::time_point Now() const = 0;

  protected:
    // Not virtual: the system's clock is a static of the plugin's, and one that needs no
    // destructor leaves nothing to run at exit after the library is gone.
    ~WallClock() = default;
};

// The system's clock.
const WallClock& SystemClock();

}  // namespace quorvane::platform
