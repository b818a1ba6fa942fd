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
// Timer callbacks run so far.
ARK_API unsigned long long TimersFired();

}  // namespace asahost
