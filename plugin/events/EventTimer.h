#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

namespace quorvane {

// Minutes as timer seconds; saturates instead of overflowing 32 bits.
std::int32_t MinutesToSeconds(std::int32_t minutes);

// One one-shot host timer that calls `callback` after `delaySeconds` (at least 0) on the game
// thread, owned by the plugin's module, with that module's path plus "_0" as identifier.
void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds);

// Drops every pending timer of the plugin's.
void DropEventTimers();

// The last timer armed: when, and for how long; none before the first or after a drop.
struct ArmedTimer {
    std::chrono::steady_clock::time_point at;
    std::int32_t seconds;
};
const std::optional<ArmedTimer>& LastArmedTimer();

}  // namespace quorvane
