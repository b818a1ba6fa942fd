#pragma once
// A player's controller as the game stand-in keeps it, behind AShooterPlayerController: the name
// that others see, and the fields the framework reads by name.

#include <cstring>
#include <string>

namespace gameserver {

struct GamePlayer {
    // AShooterPlayerController.LastChatMessageTime: the game time of the last chat line that
    // went through.
    long double lastChatMessageTime = 0;
    char name[64] = {};

    explicit GamePlayer(const std::string& playerName) {
        std::strncpy(name, playerName.c_str(), sizeof name - 1);
    }
};

}  // namespace gameserver
