#include "events/GamePlayers.h"

#include "base/Host.h"

namespace quorvane {

int GamePlayersOnline() {
    UWorld* world = AsaApi::GetApiUtils().GetWorld();
    return world == nullptr ? 0 : world->PlayerControllerListField().Num();
}

}  // namespace quorvane
