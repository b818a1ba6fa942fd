#pragma once

#include <functional>

#include "API/Base.h"
#include "API/UE/FString.h"

namespace API {
class Timer {
  public:
    ARK_API static Timer& Get();

    // Calls `callback` once, `delaySeconds` after now, on the host's timer thread. A plugin's
    // pending timers (by `owner`, its module path) are dropped when the plugin is unloaded.
    ARK_API void DelayExecuteInternal(const std::function<void()>& callback, int delaySeconds,
                                      const FString& identifier, const FString& owner);

  private:
    Timer() = default;
};
}  // namespace API
