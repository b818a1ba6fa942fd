#pragma once
// The game's own string functions that plugins reach by name.

namespace gameserver {

// Registers FGenericPlatformStricmp.Strnicmp with the host.
void RegisterGameStrings();

}  // namespace gameserver
