#pragma once
// The game's handling of a command: RCON commands and console lines go first to the plugins'
// commands (through the host), as the framework's hooks do; a command none of them takes gets
// the game's own answer.

#include <functional>
#include <string>

namespace gameserver {

// Registers RCONClientConnection.SendMessage, through which plugins answer.
void RegisterGameCommands();

// One of the game's own commands, for the lines no plugin takes: `name` (any letter case)
// then an argument; it answers in one line. On the game thread.
void AddGameCommand(const std::string& name,
                    std::function<std::string(const std::string& argument)> command);

// On the game thread: the answer to an authenticated RCON command, empty when nothing was
// said (the listener then sends the servers' usual "no response" text).
std::string RunRconCommand(const std::string& body);

// On the game thread: whether a plugin's console command took the line, typed by the
// player "Admin"; what a plugin shows that player is logged as "Server message to Admin: ...".
bool RunConsoleLine(const std::string& line);

}  // namespace gameserver
