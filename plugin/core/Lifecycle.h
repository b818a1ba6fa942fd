#pragma once

#include "core/Host.h"

namespace quorvane {

// Brings the plugin up: logger, settings, random engine, the BeginPlay hook and, when the
// server is already up, the first event. A standard exception is logged and leaves the
// plugin inactive.
void Load();
// Takes the BeginPlay hook off.
void Unload();

// Runs the game's BeginPlay, then starts an event chain.
void Hook_AShooterGameMode_BeginPlay(AShooterGameMode* gameMode);

}  // namespace quorvane
