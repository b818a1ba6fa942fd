#pragma once
// One RCON connection as the game servers we stand in for serve it: a login, then one
// request at a time, each command answered (a long answer in several RESPONSE_VALUE packets of
// at most 4086 bytes, each full one followed by the rest).

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <spdlog/logger.h>

#include "RconRecord.h"
#include "rcon/Packet.h"
#include "rcon/Socket.h"

namespace gameserver {

// What the servers answer to a command that prints nothing.
inline constexpr const char* kNoResponse = "Server received, But no response!! \n ";

// What the game answers to one command. A plugin's command answers through SendMessage, each
// call its own packet with the id and type it gave, and none when it makes no call; a command
// no plugin takes is answered with the console's output, one packet, kNoResponse when empty.
struct RconAnswer {
    RconAnswer(std::string consoleOutput = {}) : output(std::move(consoleOutput)) {}
    std::optional<std::vector<rcon::Packet>> sent;  // what a plugin's command sent
    std::string output;
};

struct RconContext {
    std::string password;
    // The game's answer to the command of request `id`.
    std::function<RconAnswer(const std::string& command, int id)> console;
    RconRecord* record = nullptr;
    std::shared_ptr<spdlog::logger> log;
};

// The requests of one connection answered in turn, without its socket, so that they can be
// driven directly.
class RconSession {
  public:
    RconSession(const RconContext& context, std::string peer)
        : c_(context), peer_(std::move(peer)) {}

    struct Outcome {
        std::vector<rcon::Packet> replies;  // none for an ignored packet type
        bool close = false;                 // a command before login ends the connection
    };
    Outcome Respond(const rcon::Packet& request);

  private:
    const RconContext& c_;
    std::string peer_;
    bool loggedIn_ = false;
};

// Serves until the peer leaves, breaks the protocol, or `stopping` is set.
void ServeRconConnection(rcon::net::Accepted connection, const RconContext& context,
                         const std::atomic<bool>& stopping);

}  // namespace gameserver
