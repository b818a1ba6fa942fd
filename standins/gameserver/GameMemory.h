#pragma once
// The game's allocator behind FMemory, counting what is still allocated.

#include <cstdint>

namespace gameserver {

// Registers FMemory.Malloc, FMemory.Realloc and FMemory.Free with the host.
void RegisterGameMemory();
// Blocks handed out and not yet freed.
std::int64_t OutstandingAllocations();

}  // namespace gameserver
