#pragma once

#include <algorithm>
#include <chrono>
#include <climits>

#include "rcon/Socket.h"

namespace rcon::net {

// Milliseconds left until `deadline` for poll/select: rounded up, so a wait never ends just
// before its deadline and spins; 0 once it has passed.
inline int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

}  // namespace rcon::net
