#pragma once
// The game's side of the plugins' commands: the game stand-in hands each console line and
// each authenticated RCON command here, on the game thread.

#include "API/ARK/Ark.h"

namespace asahost {

// True when a plugin's RCON command took the packet (it answered through the connection).
ARK_API bool RunRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);
// True when a plugin's console command took the line.
ARK_API bool RunConsoleCommand(APlayerController* player, FString* command, bool writeToLog);

}  // namespace asahost
