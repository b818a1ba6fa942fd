#pragma once

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

// Runs the game's BeginPlay, then starts an event chain.
void Hook_AShooterGameMode_BeginPlay(AShooterGameMode* gameMode);

}  // namespace quorvane
