#pragma once
// One message on a connection of its own, as the plugin's built-in client sends it: the login,
// the command and its whole reply, then the connection is closed. Without I/O: the caller sends
// what it is given and feeds what arrives, so that the reading is tested and fuzzed without
// sockets. The bytes sent are the bundled client's for the same message (login id 1, command
// id 2), one request at a time.

#include <cstddef>
#include <string>
#include <string_view>

#include "rcon/Packet.h"
#include "rcon/Reply.h"

namespace rcon {

class Exchange {
  public:
    enum class Stage { Login, Reply, Done };

    // Throws rcon::Error (TooLong) for a password or command that does not fit into a packet.
    Exchange(const std::string& password, const std::string& command, std::size_t replyLimit);

    // What to send first: the login.
    const std::string& Login() const { return login_; }
    // Takes bytes the server sent, in whatever pieces; returns what to send now (the command,
    // once logged in), or nothing. Throws rcon::Error: Authentication, Protocol. Packets of
    // other ids are skipped; bytes after the reply are not looked at.
    std::string Feed(std::string_view bytes);

    Stage At() const { return stage_; }
    // Whether the reply has begun: silence (kQuietEndsReply after the last bytes), the
    // server's close or the deadline then complete it.
    bool MayEnd() const { return stage_ == Stage::Reply && reply_.Begun(); }
    // The server went quiet or closed, or the deadline passed: Done when MayEnd; returns
    // whether it is.
    bool End();
    // The reply as far as it arrived; all of it once Done.
    const std::string& Reply() const { return reply_.Text(); }

  private:
    std::string login_;
    std::string command_;
    PacketDecoder decoder_;
    LoginReply loginReply_;
    CommandReply reply_;
    Stage stage_ = Stage::Login;
};

}  // namespace rcon
