#pragma once
// Case-insensitive comparison of wide strings: a game function, reached by name.

#include <cstddef>

#include "API/Base.h"

struct FGenericPlatformStricmp {
    // Compares `count` units, ASCII letters without regard to case; 0 when equal.
    static int Strnicmp(const wchar_t* string1, const wchar_t* string2, std::size_t count) {
        using Fn = int (*)(const wchar_t*, const wchar_t*, std::uint64_t);
        return reinterpret_cast<Fn>(
            GetAddress("FGenericPlatformStricmp.Strnicmp(wchar_t*,wchar_t*,unsigned__int64)"))(
            string1, string2, count);
    }
};
