#pragma once
// The game's player controllers. Plugins hold pointers to them and call their functions by
// name; their layout is the game's own.

#include "API/Base.h"
#include "API/UE/Containers/UnrealString.h"
#include "API/UE/Math/Color.h"

struct AController {};

struct APlayerController : AController {};

struct AShooterPlayerController : APlayerController {
    // Shows `text` to this player as a message from `senderId`.
    void ClientServerChatDirectMessage(const FString* text, FLinearColor color, bool bold,
                                       const FString* senderId) {
        using Fn =
            void (*)(AShooterPlayerController*, const FString*, FLinearColor, bool, const FString*);
        reinterpret_cast<Fn>(
            GetAddress("AShooterPlayerController.ClientServerChatDirectMessage("
                       "FString&,FLinearColor,bool,FString&)"))(this, text, color, bold, senderId);
    }
};
