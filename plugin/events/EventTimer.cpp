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

namespace {

// The host owns the timers by this module's path; the identifier is the same for every timer,
// so that they can be told from another plugin's and dropped together.
FString Identifier() {
    return FString(platform::OwnModulePath() + L"_0");
}

std::optional<ArmedTimer>& Armed() {
    static std::optional<ArmedTimer> armed;
    return armed;
}

}  // namespace

void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds) {
    // The framework forgets a timer armed during its pass with a delay below zero: the chain
    // would end there.
    const std::int32_t seconds = delaySeconds < 0 ? 0 : delaySeconds;
    API::Timer::Get().DelayExecute(Identifier(), callback, seconds);
    Armed() = ArmedTimer{std::chrono::steady_clock::now(), seconds};
}

void DropEventTimers() {
    API::Timer::Get().UnloadTimer(Identifier());
    Armed().reset();
}

const std::optional<ArmedTimer>& LastArmedTimer() {
    return Armed();
}

}  // namespace quorvane
