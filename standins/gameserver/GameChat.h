#pragma once
// What players see of the messages a plugin sends to all of them, and the chat lines they type.
// A message to all is logged once, however many players get it, and only when a player is
// online: "Players see on screen: TEXT" for a notification, "Players see in the chat: SENDER:
// TEXT" for a chat line, in UTF-8. A player's chat line goes through the game's
// ServerSendChatMessage_Implementation, on which the framework's hook runs the chat commands.

#include <string>

#include "GameWorld.h"

namespace gameserver {

// Registers the game's ClientServerNotification and ClientChatMessage, and its hookable
// ServerSendChatMessage_Implementation; before the framework installs its hooks.
void RegisterGameChat();

// On the game thread: "NAME TEXT" typed in the chat by the player NAME, who joins `world` first
// when no player of that name is online. What the console answers.
std::string RunChatLine(GameWorld& world, const std::string& nameAndText);

}  // namespace gameserver
