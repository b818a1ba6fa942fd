#pragma once

#include <cstdint>

namespace quorvane {

// Minutes as timer seconds; saturates instead of overflowing 32 bits.
std::int32_t MinutesToSeconds(std::int32_t minutes);

// One one-shot host timer that calls `callback` after `delaySeconds` (at least 0) on the game
// thread, owned by the plugin's module, with that module's path plus "_0" as identifier.
void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds);

}  // namespace quorvane
