#include "events/EventTimer.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/Host.h"
#include "platform/Platform.h"

namespace quorvane {

std::int32_t MinutesToSeconds(std::int32_t minutes) {
    const std::int64_t seconds = std::int64_t{minutes} * 60;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(seconds, INT32_MIN, INT32_MAX));
}

void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds) {
    // The host owns the timer by this module's path; the identifier is the same for every
    // timer, so that a later one can be told from another plugin's.
    const FString identifier(platform::OwnModulePath() + L"_0");
    // The framework forgets a timer armed during its pass with a delay below zero: the chain
    // would end there.
    API::Timer::Get().DelayExecute(identifier, callback, delaySeconds < 0 ? 0 : delaySeconds);
}

}  // namespace quorvane
