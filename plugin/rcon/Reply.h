#pragma once
// The server's reply to one request, read packet by packet: the rules that the bundled client
// (quorvane-rcon) and the plugin's built-in client share, so that both read a server alike.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "rcon/Packet.h"

namespace rcon {

// The login's reply. Throws rcon::Error: Authentication when the server refuses the password,
// Protocol for a packet that is no reply to the login. An empty RESPONSE_VALUE ahead of the
// AUTH_RESPONSE (Source servers send one) is accepted, never required.
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
// a full packet (4086 body bytes) is followed by the rest, any other ends the reply. Throws
// rcon::Error (Protocol) for a packet of another id or type, or a reply above `limit` bytes.
class CommandReply {
  public:
    CommandReply(std::int32_t id, std::string awaiting,
                 std::size_t limit = (std::numeric_limits<std::size_t>::max)())
        : id_(id), awaiting_(std::move(awaiting)), limit_(limit) {}
    // True once the reply is complete.
    bool Take(const Packet& packet);
    const std::string& Text() const { return text_; }

  private:
    std::int32_t id_;
    std::string awaiting_;
    std::size_t limit_;
    std::string text_;
};

// "protocol error: unexpected packet (id 99, type 0) instead of AWAITING"
std::string UnexpectedPacket(const Packet& packet, const std::string& awaiting);

}  // namespace rcon
