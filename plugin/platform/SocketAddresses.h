#pragma once
// A host's addresses for a TCP connection, resolved as both platforms do it (getaddrinfo is
// the same call on both). For the sockets' platform files alone.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <string>

namespace quorvane::platform {

class SocketAddresses {
  public:
    SocketAddresses() = default;
    ~SocketAddresses() {
        if (head_ != nullptr) {
            freeaddrinfo(head_);
        }
    }
    SocketAddresses(const SocketAddresses&) = delete;
    SocketAddresses& operator=(const SocketAddresses&) = delete;

    // 0, or the resolver's code. Numeric addresses only: a name lookup cannot be bounded by
    // the message's deadline nor cut short by an unload, and would hold up both.
    int Resolve(const std::string& host, int port) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
        return getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &head_);
    }
    const addrinfo* First() const { return head_; }

  private:
    addrinfo* head_ = nullptr;
};

}  // namespace quorvane::platform
