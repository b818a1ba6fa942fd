#pragma once

#include <utility>

#include "API/ARK/Ark.h"
#include "API/Helpers/Helpers.h"

namespace AsaApi {
enum class ServerStatus { Loading, Ready };

class ARK_API IApiUtils {
  public:
    virtual ~IApiUtils() = default;
    // The running world, or null while the game has none.
    virtual UWorld* GetWorld() const = 0;
    virtual AShooterGameMode* GetShooterGameMode() const = 0;
    virtual ServerStatus GetStatus() const = 0;

    // Shows a message to one player, formatted as fmt::format(msg, args...) does; nothing
    // for a null player. As the framework's default messaging does, through the game's
    // ClientServerChatDirectMessage.
    template <typename T, typename... Args>
    void SendServerMessage(AShooterPlayerController* player, FLinearColor color, const T* msg,
                           Args&&... args) {
        if (player == nullptr) {
            return;
        }
        const FString text = FString::Format(msg, std::forward<Args>(args)...);
        const FString sender("Server");
        player->ClientServerChatDirectMessage(&text, color, false, &sender);
    }
};

ARK_API IApiUtils& APIENTRY GetApiUtils();
}  // namespace AsaApi
