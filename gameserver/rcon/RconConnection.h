#pragma once
// One RCON connection as the game servers we stand in for serve it: a login, then one
// request at a time, each command answered with exactly one RESPONSE_VALUE packet.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include <spdlog/logger.h>

#include "RconRecord.h"
#include "rcon/Socket.h"

namespace gameserver {

// What the servers answer to a command that prints nothing.
inline constexpr const char* kNoResponse = "Server received, But no response!! \n ";

struct RconContext {
    std::string password;
    // The console's output for a command; empty output is answered with kNoResponse.
    std::function<std::string(const std::string& command)> console;
    RconRecord* record = nullptr;
    std::shared_ptr<spdlog::logger> log;
};

// Serves until the peer leaves, breaks the protocol, or `stopping` is set.
void ServeRconConnection(rcon::net::Accepted connection, const RconContext& context,
                         const std::atomic<bool>& stopping);

}  // namespace gameserver
