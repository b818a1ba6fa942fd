#pragma once
// The game's handling of a command: RCON commands and console lines go first to the plugins'
// commands (through the host), as the framework's hooks do; a command none of them takes gets
// the game's own answer.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace gameserver {

// Registers RCONClientConnection.SendMessage, through which plugins answer.
void RegisterGameCommands();

// One of the game's own commands, for the lines no plugin takes: `name` (any letter case)
// then an argument; it answers in one line. On the game thread.
void AddGameCommand(const std::string& name,
                    std::function<std::string(const std::string& argument)> command);

// One message a command sent back through RCONClientConnection.SendMessage.
struct RconMessage {
    int id;
    int type;
    std::string body;
};

// The game's answer to an RCON command: what a plugin's command sent, one message per call
// (none when it made none), or, when no plugin took it, the game's own output (empty when
// nothing was said: the listener then sends the servers' usual "no response" text).
struct GameRconAnswer {
    std::optional<std::vector<RconMessage>> sent;
    std::string output;
};

// On the game thread: the answer to the authenticated RCON command `body` of request `id`.
GameRconAnswer RunRconCommand(const std::string& body, int id);

// On the game thread: whether a plugin's console command took the line, typed by the
// player "Admin"; what a plugin shows that player is logged as "Server message to Admin: ...".
bool RunConsoleLine(const std::string& line);

}  // namespace gameserver
