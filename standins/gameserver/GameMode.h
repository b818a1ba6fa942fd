#pragma once

#include "API/Base.h"

namespace gameserver {

// Registers the hookable AShooterGameMode.BeginPlay() and AShooterGameMode.SaveWorld.
void RegisterGameMode();
// Runs BeginPlay through whatever the host has hooked onto it.
void RunBeginPlay(AShooterGameMode* gameMode);
// The game mode object of this process.
AShooterGameMode* TheGameMode();
int BeginPlayRuns();

}  // namespace gameserver
