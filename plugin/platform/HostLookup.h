#pragma once
// Host names of RCON servers looked up for the built-in client: on a delivery thread, never
// beyond the message's deadline, and ended at once by an unload. The system's resolver cannot
// be interrupted, so no thread of the plugin's ever waits inside it: on Linux c-ares does the
// lookup on the caller's thread without blocking, and ending it is destroying it; on Windows
// GetAddrInfoExW works on the system's own threads and signals an event, with no callback into
// the plugin. A lookup given up is cancelled and, where the system still works on it, left to
// the system with the memory it writes to. So an unload waits for no lookup, and no code of the
// plugin runs for one after the plugin is gone. For the sockets' platform files alone.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/SocketAddresses.h"

namespace quorvane::platform {

class HostLookups {
  public:
    using Clock = std::chrono::steady_clock;
    enum class Status { Done, Failed, TimedOut, Ended };

    HostLookups();
    ~HostLookups();
    HostLookups(const HostLookups&) = delete;
    HostLookups& operator=(const HostLookups&) = delete;

    // Appends the addresses of `host` for a TCP connection to `port`. Failed: `reason` says
    // why ("cannot resolve NAME: ..."). From any thread, several at once.
    Status Resolve(const std::string& host, int port, Clock::time_point until,
                   std::vector<SocketAddress>& to, std::string& reason);
    // Ends every lookup at once; from now on every call is Ended.
    void EndAll();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quorvane::platform
