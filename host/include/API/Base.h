#pragma once
// Export/import of the host framework's own operations.

#if defined(_WIN32)
#if defined(ASAAPI_BUILD)
#define ARK_API __declspec(dllexport)
#else
#define ARK_API __declspec(dllimport)
#endif
#else
#define ARK_API __attribute__((visibility("default")))
#endif

#include <cstdint>

using LPVOID = void*;
using DWORD64 = std::uint64_t;
