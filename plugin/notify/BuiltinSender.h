#pragma once
// The plugin's own Source RCON client: each message on a connection of its own (connect, log
// in, send the command, read its whole answer, close), the same bytes the bundled client sends
// for it, and one deadline for all of it. Failures as a person names them: "wrong password",
// "no connection: REASON", "no answer in N s (at authentication)", "no answer in N s (after the
// command)", "connection closed by the server". A command whose answer has begun is delivered.

#include <chrono>
#include <cstddef>
#include <string>

#include "config/Settings.h"
#include "platform/ClientEnv.h"
#include "platform/Sockets.h"

namespace quorvane {

// The longest answer read; a longer one fails the message.
inline constexpr std::size_t kMaxRconAnswer = std::size_t{1} << 20;

struct BuiltinOutcome {
    platform::ClientExit exit;  // Exited with 0 when delivered, else Failed or Ended
    std::string answer;         // the server's whole answer, when delivered
};

BuiltinOutcome SendBuiltin(platform::Sockets& sockets, const RconTarget& target,
                           const std::string& text, std::chrono::milliseconds deadline);

}  // namespace quorvane
