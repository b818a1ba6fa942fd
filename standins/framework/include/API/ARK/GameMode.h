#pragma once
// The game's world as plugins see it: its fields reached by name, never by layout.

#include "API/ARK/Actor.h"
#include "API/Base.h"
#include "API/UE/Containers/Array.h"

struct UWorld {
    // Game seconds since the world began.
    long double& TimeSecondsField() {
        return *reinterpret_cast<long double*>(GetAddress(this, "UWorld.TimeSeconds"));
    }

    // The controllers of the players on the server.
    TArray<TWeakObjectPtr<APlayerController>>& PlayerControllerListField() {
        return *reinterpret_cast<TArray<TWeakObjectPtr<APlayerController>>*>(
            GetAddress(this, "UWorld.PlayerControllerList"));
    }
};
