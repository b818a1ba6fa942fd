#pragma once
// A view of the timer service for the game stand-in and tests.

#include <string>
#include <vector>

#include "API/Base.h"

namespace asahost {

struct PendingTimer {
    std::string identifier;  // UTF-8
    std::string owner;       // UTF-8
    int delaySeconds;
};

ARK_API std::vector<PendingTimer> PendingTimers();
// On the game thread: the game's time jumps `gameSeconds` ahead for the pending timers, and a
// timer pass runs now, on this thread, as the game's tick runs it. Those due by then fire; those
// their callbacks arm wait their full delay. For tests and benchmarks that cannot wait for the
// game's time.
ARK_API void AdvanceTimers(int gameSeconds);
// Timer callbacks run so far.
ARK_API unsigned long long TimersFired();

}  // namespace asahost
