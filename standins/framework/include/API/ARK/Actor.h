#pragma once
// The game's player controllers. Plugins hold pointers to them and call their functions by
// name; their layout is the game's own.

#include "API/Base.h"
#include "API/UE/Containers/UnrealString.h"
#include "API/UE/Math/Color.h"

// One chat line as the game hands it to a player.
struct FPrimalChatMessage {
    FString SenderName;
    FString Message;
    FString UserId;
};

struct AController {};

struct APlayerController : AController {};

struct AShooterPlayerController : APlayerController {
    // The game time of this player's last chat line that was let through.
    long double& LastChatMessageTimeField() {
        return *reinterpret_cast<long double*>(
            GetAddress(this, "AShooterPlayerController.LastChatMessageTime"));
    }

    // Shows the line `Chat` in this player's chat.
    void ClientChatMessage(FPrimalChatMessage Chat) {
        using Fn = void (*)(AShooterPlayerController*, FPrimalChatMessage*);
        reinterpret_cast<Fn>(GetAddress(
            "AShooterPlayerController.ClientChatMessage(FPrimalChatMessage)"))(this, &Chat);
    }

    // Shows `text` on this player's screen for `time` seconds.
    void ClientServerNotification(const FString* MessageText, FLinearColor MessageColor,
                                  float DisplayScale, float DisplayTime, UTexture2D* MessageIcon,
                                  USoundBase* SoundToPlay, int Priority) {
        using Fn = void (*)(AShooterPlayerController*, const FString*, FLinearColor, float, float,
                            UTexture2D*, USoundBase*, int);
        reinterpret_cast<Fn>(GetAddress(
            "AShooterPlayerController.ClientServerNotification(FString&,FLinearColor,float,float,"
            "UTexture2D*,USoundBase*,int)"))(this, MessageText, MessageColor, DisplayScale,
                                             DisplayTime, MessageIcon, SoundToPlay, Priority);
    }

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
