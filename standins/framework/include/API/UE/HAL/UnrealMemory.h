#pragma once
// The game's allocator, reached by name at every call like any other game function.

#include <cstddef>
#include <cstdint>

#include "API/Base.h"

struct FMemory {
    static void* Malloc(std::size_t count, std::uint32_t alignment = 0) {
        using Fn = void* (*)(std::uint64_t, std::uint32_t);
        return reinterpret_cast<Fn>(GetAddress("FMemory.Malloc(unsigned__int64,unsignedint)"))(
            count, alignment);
    }
    static void* Realloc(void* original, std::size_t count, std::uint32_t alignment = 0) {
        using Fn = void* (*)(void*, std::uint64_t, std::uint32_t);
        return reinterpret_cast<Fn>(GetAddress(
            "FMemory.Realloc(void*,unsigned__int64,unsignedint)"))(original, count, alignment);
    }
    static void Free(void* original) {
        using Fn = void (*)(void*);
        reinterpret_cast<Fn>(GetAddress("FMemory.Free(void*)"))(original);
    }
};
