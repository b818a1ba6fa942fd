#include "GameChat.h"

#include <sstream>

#include "API/ARK/Ark.h"
#include "GamePlayer.h"
#include "Host/GameRegistry.h"
#include "Host/Runtime.h"
#include "Host/Text.h"

namespace gameserver {
namespace {

constexpr const char* kSendChatMessage =
    "AShooterPlayerController.ServerSendChatMessage_Implementation(FString&,EChatSendMode::Type,"
    "int)";

// Over the host's sinks of the moment: a test starts the host afresh, and players' lines are few.
std::shared_ptr<spdlog::logger> ChatLog() {
    return asahost::MakeLogger("GameServer");
}

// Each line of what everyone online sees, logged once: for the first player listed.
void EveryoneSees(AShooterPlayerController* self, const std::string& what, const FString& text) {
    UWorld* world = AsaApi::GetApiUtils().GetWorld();
    if (world == nullptr) {
        return;
    }
    for (TWeakObjectPtr<APlayerController> controller : world->PlayerControllerListField()) {
        if (auto* first = controller.Get()) {
            if (first != self) {
                return;
            }
            break;
        }
    }
    std::istringstream lines(asahost::Utf8Of(text));
    for (std::string line; std::getline(lines, line);) {
        ChatLog()->info("Players see {}{}", what, line);
    }
}

void ServerNotification(AShooterPlayerController* self, const FString* text, FLinearColor, float,
                        float, UTexture2D*, USoundBase*, int) {
    EveryoneSees(self, "on screen: ", *text);
}

void ChatMessage(AShooterPlayerController* self, FPrimalChatMessage* chat) {
    EveryoneSees(self, "in the chat: " + asahost::Utf8Of(chat->SenderName) + ": ", chat->Message);
}

// The game's own: the line goes to every player's chat.
void SendChatMessage(AShooterPlayerController* self, FString* message, int, int) {
    const auto* player = reinterpret_cast<GamePlayer*>(self);
    ChatLog()->info("Players see in the chat: {}: {}", player->name, asahost::Utf8Of(*message));
}

}  // namespace

void RegisterGameChat() {
    asahost::RegisterFunction(
        "AShooterPlayerController.ClientServerNotification(FString&,FLinearColor,float,float,"
        "UTexture2D*,USoundBase*,int)",
        reinterpret_cast<void*>(&ServerNotification));
    asahost::RegisterFunction("AShooterPlayerController.ClientChatMessage(FPrimalChatMessage)",
                              reinterpret_cast<void*>(&ChatMessage));
    asahost::RegisterHookable(kSendChatMessage, reinterpret_cast<void*>(&SendChatMessage));
}

std::string RunChatLine(GameWorld& world, const std::string& nameAndText) {
    const auto end = nameAndText.find(' ');
    if (end == 0 || end == std::string::npos ||
        nameAndText.find_first_not_of(' ', end) == std::string::npos) {
        return "usage: chat NAME TEXT";
    }
    if (world.World() == nullptr) {
        return "no world: nobody can chat";
    }
    auto* player =
        reinterpret_cast<AShooterPlayerController*>(world.Join(nameAndText.substr(0, end)));
    FString message =
        asahost::GameStringOf(nameAndText.substr(nameAndText.find_first_not_of(' ', end)));
    using Fn = void (*)(AShooterPlayerController*, FString*, int, int);
    // 0: the global chat, from a PC player.
    reinterpret_cast<Fn>(asahost::HookTarget(kSendChatMessage))(player, &message, 0, 0);
    return {};
}

}  // namespace gameserver
