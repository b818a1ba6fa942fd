#pragma once

#include <functional>
#include <utility>

#include "API/ARK/Ark.h"

namespace API {
class Timer {
  public:
    ARK_API static Timer& Get();

    Timer(const Timer&) = delete;
    Timer(Timer&&) = delete;
    Timer& operator=(const Timer&) = delete;
    Timer& operator=(Timer&&) = delete;

    // Calls `callback(args...)` once, `delay` seconds from now, on the game thread. The
    // calling module owns the timer: its pending timers are dropped when it is unloaded.
    template <typename Func, typename... Args>
    void DelayExecute(const FString& identifier, const Func& callback, int delay, Args&&... args) {
        DelayExecuteInternal(std::bind(callback, std::forward<Args>(args)...), delay, identifier,
                             GetDllName());
    }

    // Drops the pending timers armed with `identifier`.
    void UnloadTimer(const FString& identifier) { UnloadTimerInternal(identifier); }

  private:
    Timer() = default;
    ~Timer() = default;

    ARK_API void DelayExecuteInternal(const std::function<void()>& callback, int delay_seconds,
                                      const FString& identifier, const FString& moduleName);
    ARK_API void UnloadTimerInternal(const FString& identifier);
};
}  // namespace API
