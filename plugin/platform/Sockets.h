#pragma once
// TCP connections of the plugin's built-in RCON client: connect, send and receive, each until a
// deadline, and every wait ended at once when the plugin unloads. One file per platform; on
// Windows the sockets library is started with the first connection and ended with this object,
// so with the plugin.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace quorvane::platform {

class Sockets {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Status {
        Done,
        Closed,    // the peer closed or reset the connection
        TimedOut,  // the deadline passed first
        Failed,    // Connect only: `reason` says why
        Ended,     // EndAll
    };

    // One connection; closed when the last copy is destroyed.
    class Connection {
      public:
        struct Native;  // the platform's socket, closed by its destructor

      private:
        friend class Sockets;
        std::shared_ptr<Native> native_;
    };

    Sockets();
    ~Sockets();
    Sockets(const Sockets&) = delete;
    Sockets& operator=(const Sockets&) = delete;

    // Resolves `host` (a numeric address at once, a name through HostLookup.h: until `until`,
    // ended by EndAll) and tries each of its addresses in turn. Nagle's algorithm stays on: each
    // request is one write after the previous answer, which has acknowledged everything sent.
    // Failed: `reason` is the system's text ("Connection refused", "cannot resolve NAME: ...").
    // Every call may come from any thread, one at a time per connection.
    Status Connect(const std::string& host, int port, Clock::time_point until,
                   Connection& connection, std::string& reason);
    // Writes all of `bytes`.
    Status Send(Connection& connection, std::string_view bytes, Clock::time_point until);
    // Waits for bytes and appends those that have arrived to `into`.
    Status Receive(Connection& connection, std::string& into, Clock::time_point until);
    // Ends every wait at once; from now on every call is Ended.
    void EndAll();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quorvane::platform
