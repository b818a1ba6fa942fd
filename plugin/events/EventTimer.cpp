#include "events/EventTimer.h"

#include <algorithm>
#include <functional>
#include <limits>

#include <fmt/xchar.h>

#include "core/Host.h"
#include "platform/Platform.h"

namespace quorvane {

std::int32_t MinutesToSeconds(std::int32_t minutes) {
    const std::int64_t seconds = std::int64_t{minutes} * 60;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(seconds, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

void ArmEventTimer(void (*callback)(), std::int32_t delaySeconds) {
    const FString owner(platform::OwnModulePath().c_str());
    const std::wstring identifier = fmt::format(L"{}_{}", platform::OwnModulePath(), 0);
    API::Timer::Get().DelayExecuteInternal(std::function<void()>(callback), delaySeconds,
                                           FString(identifier.c_str()), owner);
}

}  // namespace quorvane
