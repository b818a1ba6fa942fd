#pragma once

#include <string>

#include "API/Base.h"

namespace AsaApi {
class IHooks {
  public:
    virtual ~IHooks() = default;
    // Takes `detour` off the function `func_name`.
    virtual bool DisableHook(const std::string& func_name, LPVOID detour) = 0;
    // Puts `detour` on the function `func_name`; `*original` is set, before the detour can
    // run, to the address through which the function's previous code stays callable.
    virtual bool SetHookInternal(const std::string& func_name, LPVOID detour, LPVOID* original) = 0;
};

ARK_API IHooks& GetHooks();
}  // namespace AsaApi
