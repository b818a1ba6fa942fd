#pragma once

#include <cstdint>

namespace quorvane {

// Minutes as timer seconds; saturates instead of overflowing 32 bits.
std::int32_t MinutesToSeconds(std::int32_t minutes);

// One one-shot host timer that calls `callback` after `delaySeconds`, registered with the
// plugin's module path as owner and that path plus "_0" as identifier.
void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds);

}  // namespace quorvane
