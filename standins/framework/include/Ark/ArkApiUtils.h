#pragma once

#include <utility>
#include <vector>

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

    // Shows a message on the screen of every player online, formatted as SendServerMessage's,
    // through the game's ClientServerNotification; `icon` may be null.
    template <typename T, typename... Args>
    void SendNotificationToAll(FLinearColor color, float display_scale, float display_time,
                               UTexture2D* icon, const T* msg, Args&&... args) {
        const FString text = FString::Format(msg, std::forward<Args>(args)...);
        for (AShooterPlayerController* player : PlayersOnline()) {
            player->ClientServerNotification(&text, color, display_scale, display_time, icon,
                                             nullptr, 1);
        }
    }

    // Shows a chat line from `sender_name` to every player online, formatted as
    // SendServerMessage's, through the game's ClientChatMessage.
    template <typename T, typename... Args>
    void SendChatMessageToAll(const FString& sender_name, const T* msg, Args&&... args) {
        const FString text = FString::Format(msg, std::forward<Args>(args)...);
        for (AShooterPlayerController* player : PlayersOnline()) {
            FPrimalChatMessage chat;
            chat.SenderName = sender_name;
            chat.Message = text;
            player->ClientChatMessage(chat);
        }
    }

  private:
    // As the framework's messaging walks them: the world's player list, without the slots of
    // players who have left.
    std::vector<AShooterPlayerController*> PlayersOnline() const {
        std::vector<AShooterPlayerController*> players;
        if (UWorld* world = GetWorld()) {
            for (TWeakObjectPtr<APlayerController> controller :
                 world->PlayerControllerListField()) {
                if (auto* player = static_cast<AShooterPlayerController*>(controller.Get())) {
                    players.push_back(player);
                }
            }
        }
        return players;
    }
};

ARK_API IApiUtils& APIENTRY GetApiUtils();
}  // namespace AsaApi
