#pragma once
// What the game tells the host: its named functions and fields, its hookable functions,
// its status and its world.

#include <cstddef>
#include <string>

#include "API/Base.h"
#include "IApiUtils.h"

namespace asahost {

ARK_API void RegisterFunction(const std::string& name, void* address);
// A field `name` ("Type.Field") lies `offset` bytes into an object of its type.
ARK_API void RegisterField(const std::string& name, std::ptrdiff_t offset);
// A function that plugins may hook; it is also reachable through GetAddress.
ARK_API void RegisterHookable(const std::string& name, void* original);
// The current entry of a hookable function: the newest detour, or the original.
ARK_API void* HookTarget(const std::string& name);

// The framework's own hooks on the game, once its hookable functions are registered: on
// AShooterGameMode.BeginPlay(), which makes the server ready after the game's own has run; and,
// when the game has it, on a player's chat line
// (AShooterPlayerController.ServerSendChatMessage_Implementation), which drops a line sent
// within a second of the last and gives the rest to the chat commands first.
ARK_API void InstallFrameworkHooks();

ARK_API void SetServerStatus(AsaApi::ServerStatus status);
ARK_API void SetWorld(UWorld* world);
ARK_API void SetGameMode(AShooterGameMode* gameMode);

// Forgets one function or field name: a game build that lacks it.
ARK_API void ForgetName(const std::string& name);
// Forgets every name; for a game that goes away before the process does.
ARK_API void ClearRegistry();

}  // namespace asahost
