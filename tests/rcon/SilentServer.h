#pragma once
// An RCON server that accepts every connection and never answers: a server that hangs.

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "rcon/Socket.h"

namespace rcon_testing {

class SilentServer {
  public:
    // Listens on a free loopback port.
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    int Port() const { return port_; }
    int Connections() const;

  private:
    rcon::net::Socket listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<rcon::net::Socket> accepted_;
    std::thread thread_;
};

}  // namespace rcon_testing
