#include "GameMemory.h"

#include <atomic>
#include <cstdlib>

#include "Host/GameRegistry.h"

namespace gameserver {
namespace {

std::atomic<std::int64_t> outstanding{0};

void* Malloc(std::uint64_t count, std::uint32_t) {
    void* block = std::malloc(count == 0 ? 1 : count);
    if (block != nullptr) {
        ++outstanding;
    }
    return block;
}

void* Realloc(void* original, std::uint64_t count, std::uint32_t) {
    if (original == nullptr) {
        return Malloc(count, 0);
    }
    return std::realloc(original, count == 0 ? 1 : count);
}

void Free(void* original) {
    if (original != nullptr) {
        --outstanding;
        std::free(original);
    }
}

}  // namespace

void RegisterGameMemory() {
    asahost::RegisterFunction("FMemory.Malloc(unsigned__int64,unsignedint)",
                              reinterpret_cast<void*>(&Malloc));
    asahost::RegisterFunction("FMemory.Realloc(void*,unsigned__int64,unsignedint)",
                              reinterpret_cast<void*>(&Realloc));
    asahost::RegisterFunction("FMemory.Free(void*)", reinterpret_cast<void*>(&Free));
}

std::int64_t OutstandingAllocations() {
    return outstanding.load();
}

}  // namespace gameserver
