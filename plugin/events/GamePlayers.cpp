#include "events/GamePlayers.h"

#include "base/Host.h"

namespace quorvane {

int GamePlayersOnline() {
    UWorld* world = AsaApi::GetApiUtils().GetWorld();
    if (world == nullptr) {
        return 0;
    }
    // As the framework's own loops count them: a slot whose controller is gone (a player who
    // has left) is no player.
    int players = 0;
    for (TWeakObjectPtr<APlayerController> controller : world->PlayerControllerListField()) {
        if (controller.Get() != nullptr) {
            ++players;
        }
    }
    return players;
}

}  // namespace quorvane
