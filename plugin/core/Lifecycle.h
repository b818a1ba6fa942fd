#pragma once

#include <optional>
#include <string>

#include "core/Host.h"

namespace quorvane {

// Brings the plugin up: logger, settings, random engine, the BeginPlay hook and, when the
// server is already up, the first event. A standard exception is logged and leaves the
// plugin inactive.
void Load();
// Takes the BeginPlay hook off, and stops the RCON delivery if that is still running.
void Unload();
// What the framework asks before it drops the plugin's timers and hooks and frees the
// library (the export Plugin_Unload): ends every RCON client and waits for the delivery's
// threads, where waiting is safe.
void StopPlugin();

// Why the plugin is inactive ("FILE POINTER: REASON"); none while it is active.
const std::optional<std::string>& InactiveReason();

// Reads config.json again. Good: the new settings hold from the next event on, and a running
// chain waits by the new bounds; an inactive plugin becomes active. Broken: nothing changes.
// What happened, for an admin.
std::string Reload();

// Runs the game's BeginPlay, then starts an event chain.
void Hook_AShooterGameMode_BeginPlay(AShooterGameMode* gameMode);

}  // namespace quorvane
