#pragma once
// The system's socket headers. Names and addresses (getaddrinfo and its kin) are the same
// calls on both platforms; SocketNames.cpp holds them once.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <string>

#include "SocketSystem.h"

namespace rcon::net::sys {

#ifdef _WIN32
using Native = SOCKET;
#else
using Native = int;
#endif

inline Native ToNative(Handle handle) {
    return static_cast<Native>(handle);
}

// The numeric host and port of an address that accept or getsockname filled in.
void NumericName(const sockaddr_storage& address, socklen_t length, std::string& host, int& port);

}  // namespace rcon::net::sys
