#pragma once
// The file of the module that calls: it owns the timers that module arms.

#include "API/UE/Containers/UnrealString.h"

#if defined(_WIN32)
// Inline, so that the address below lies in the calling module's own code.
inline FString GetDllName() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&GetDllName), &module);
    wchar_t name[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, name, MAX_PATH);
    return FString(static_cast<int>(length), name);
}
#else
namespace asahost {
// The file of the loaded module that holds `address`, as UTF-16 code units.
ARK_API FString ModuleFileOf(const void* address);
}  // namespace asahost

// Inline and hidden in each module, so that the address below lies in the calling module.
inline FString GetDllName() {
    return asahost::ModuleFileOf(reinterpret_cast<const void*>(&GetDllName));
}
#endif
