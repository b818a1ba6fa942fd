#pragma once
// The socket calls that differ between BSD sockets and Winsock, under the loops of Socket.cpp.
// One implementation per platform: SocketPosix.cpp, SocketWindows.cpp.

#include <cstddef>
#include <cstdint>
#include <string>

#include "rcon/Socket.h"

struct addrinfo;  // getaddrinfo's entry: the same type on both platforms

namespace rcon::net::sys {

using Handle = std::uintptr_t;  // as Socket holds it; all bits set for none

// Winsock must be started before the first call; nothing to do elsewhere.
void Start();

// Why the last call failed: errno, WSAGetLastError().
int LastError();
// Text for a code that Addresses::Resolve returned.
std::string ResolveReason(int code);

class Addresses {
  public:
    Addresses() = default;
    ~Addresses();
    Addresses(const Addresses&) = delete;
    Addresses& operator=(const Addresses&) = delete;

    // 0, or the resolver's code. `passive`: a numeric address to listen on.
    int Resolve(const std::string& host, int port, bool passive);
    const addrinfo* First() const { return head_; }

  private:
    addrinfo* head_ = nullptr;
};
const addrinfo* Next(const addrinfo& address);

// Non-blocking, and not inherited by child processes.
Handle Open(const addrinfo& address);
void Close(Handle handle);

enum class Step { Done, WouldBlock, Interrupted, Failed };

// Done: connected at once. WouldBlock: under way, see WaitFor and TakeConnectError.
Step StartConnect(Handle handle, const addrinfo& address);
// The outcome of a connect that was under way; leaves `error` as it was when unreadable.
void TakeConnectError(Handle handle, int& error);

enum class Ready { Read, Write };
// False when the deadline passed first. True also on an error, for the next call to report.
bool WaitFor(Handle handle, Ready ready, Clock::time_point deadline);

Step Send(Handle handle, const char* bytes, std::size_t size, std::size_t& sent);
// Done with 0 bytes: the peer closed.
Step Receive(Handle handle, char* buffer, std::size_t size, std::size_t& received);

// Replies are small and come one request at a time, so Nagle's delay would only slow us.
void NoDelay(Handle handle);

// Sets the platform's port reuse rule, binds and listens. False: see LastError.
bool BindAndListen(Handle handle, const addrinfo& address);
int LocalPort(Handle handle);
// A waiting connection (or none), non-blocking and not inherited, with its peer's numeric
// host and port.
Handle Accept(Handle listener, std::string& host, int& port);

}  // namespace rcon::net::sys
