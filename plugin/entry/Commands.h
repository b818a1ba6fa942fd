#pragma once
// The commands people type, in one place. Live control over RCON and the server console:
// quorvane.status, quorvane.next [EVENT_ID], quorvane.reload and quorvane.coords; the
// announcements other servers' Quorvane send, quorvane.announce TEXT; and the chat command of
// PlayerCommand, which tells a player what is coming. Everything they touch runs on the game
// thread.

#include <string>

namespace quorvane {

void RegisterCommands();
void RemoveCommands();
// The chat command `registered` (none when empty) becomes `wanted`: the old one is removed, the
// new one added, and `registered` names it.
void ChangePlayerCommand(std::string& registered, const std::string& wanted);

// The answer to a command line (its first word one of the commands'), plain ASCII, one fact a
// line.
std::string CommandReply(const std::string& line);

}  // namespace quorvane
