#pragma once

#include <string>

#include "API/Base.h"
#include "API/UE/HAL/UnrealMemory.h"

namespace AsaApi {
class ARK_API IHooks {
  public:
    virtual ~IHooks() = default;

    // Puts `detour` on the function `func_name`; `*original` is set, before the detour can
    // run, to the address through which the function's previous code stays callable.
    template <typename T>
    bool SetHook(const std::string& func_name, LPVOID detour, T** original) {
        return SetHookInternal(func_name, detour, reinterpret_cast<LPVOID*>(original));
    }

    // Takes `detour` off the function `func_name`.
    virtual bool DisableHook(const std::string& func_name, LPVOID detour) = 0;

  private:
    virtual bool SetHookInternal(const std::string& func_name, LPVOID detour, LPVOID* original) = 0;
};

ARK_API IHooks& APIENTRY GetHooks();
}  // namespace AsaApi
