#pragma once

#include <functional>

#include "API/ARK/Ark.h"

namespace AsaApi {
class ARK_API ICommands {
  public:
    virtual ~ICommands() = default;

    // A chat command: its callback runs on the game thread when the first blank-separated word
    // of a player's chat line equals `command`, letter case ignored; the line is then not shown
    // in the chat. The calling module owns it.
    virtual void AddChatCommand(
        const FString& command,
        const std::function<void(AShooterPlayerController*, FString*, int, int)>& callback) = 0;
    // A console command: its callback runs on the game thread when the first blank-separated
    // word of a console line equals `command`, letter case ignored. The calling module owns
    // it: it goes when the module is unloaded.
    virtual void AddConsoleCommand(
        const FString& command,
        const std::function<void(APlayerController*, FString*, bool)>& callback) = 0;
    // The same for an authenticated RCON command; the callback answers through the
    // connection's SendMessageW.
    virtual void AddRconCommand(
        const FString& command,
        const std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>& callback) = 0;

    virtual bool RemoveChatCommand(const FString& command) = 0;
    virtual bool RemoveConsoleCommand(const FString& command) = 0;
    virtual bool RemoveRconCommand(const FString& command) = 0;
};

ARK_API ICommands& APIENTRY GetCommands();
}  // namespace AsaApi
