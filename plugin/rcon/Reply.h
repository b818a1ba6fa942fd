#pragma once
// The server's reply to one request, read packet by packet: the rules that the bundled client
// (quorvane-rcon) and the plugin's built-in client share, so that both read a server alike.
//
// A packet with the id of the request awaited is its reply and must have a reply's form. A
// packet with any other id answers nothing we wait for (a keep-alive, an extra packet a server
// sends after a login, the late rest of an earlier reply) and is skipped.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "rcon/Packet.h"

namespace rcon {

// After a full packet (4086 body bytes) the reply may go on or may be complete: one of exactly
// k × 4086 bytes looks the same. Silence this long after the last bytes ends it. Far longer
// than the gaps between the packets of one reply, far shorter than a message's deadline.
inline constexpr std::chrono::milliseconds kQuietEndsReply{1000};

// The login's reply. Throws rcon::Error: Authentication when the server refuses the password,
// Protocol for a packet of the login's id that is no reply to a login. An empty RESPONSE_VALUE
// ahead of the AUTH_RESPONSE (Source servers send one) is skipped, never required.
class LoginReply {
  public:
    // `awaiting` names the reply in errors: "the login reply".
    LoginReply(std::int32_t id, std::string awaiting) : id_(id), awaiting_(std::move(awaiting)) {}
    // True once logged in.
    bool Take(const Packet& packet) const;

  private:
    std::int32_t id_;
    std::string awaiting_;
};

// A command's reply: one RESPONSE_VALUE packet, or several when the server splits a long one:
// a full packet is followed by the rest, any other ends the reply; after a full packet, the
// server's silence (kQuietEndsReply), its close or the deadline ends it too. Throws
// rcon::Error (Protocol) for a packet of the command's id and another type, or a reply above
// `limit` bytes.
class CommandReply {
  public:
    CommandReply(std::int32_t id, std::string awaiting,
                 std::size_t limit = (std::numeric_limits<std::size_t>::max)())
        : id_(id), awaiting_(std::move(awaiting)), limit_(limit) {}
    // True once the reply is complete.
    bool Take(const Packet& packet);
    // Once begun, the reply is complete when the server goes quiet, closes the connection or
    // the deadline passes, rather than failed: the server has the command.
    bool Begun() const { return begun_; }
    const std::string& Text() const { return text_; }

  private:
    std::int32_t id_;
    std::string awaiting_;
    std::size_t limit_;
    std::string text_;
    bool begun_ = false;
};

// "protocol error: unexpected packet (id 1, type 0) instead of AWAITING"
std::string UnexpectedPacket(const Packet& packet, const std::string& awaiting);

}  // namespace rcon
