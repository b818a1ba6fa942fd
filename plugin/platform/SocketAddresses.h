#pragma once
// The addresses a TCP connection of the built-in client tries, from a numeric address or from a
// name's lookup (HostLookup.h). For the sockets' platform files alone.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <cstring>
#include <string>
#include <vector>

namespace quorvane::platform {

struct SocketAddress {
    int family = 0;
    int type = 0;
    int protocol = 0;
    sockaddr_storage address{};
    int length = 0;
};

inline void AddAddress(std::vector<SocketAddress>& to, int family, int type, int protocol,
                       const sockaddr* address, std::size_t length) {
    if (address == nullptr || length > sizeof(sockaddr_storage)) {
        return;
    }
    SocketAddress entry{family, type, protocol, {}, static_cast<int>(length)};
    std::memcpy(&entry.address, address, length);
    to.push_back(entry);
}

// The addresses of `host` written as numbers (IPv4, IPv6), which takes no lookup: 0, or the
// resolver's code (EAI_NONAME for a name).
inline int NumericAddresses(const std::string& host, int port, std::vector<SocketAddress>& to) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
    addrinfo* head = nullptr;
    if (const int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &head)) {
        return error;
    }
    for (const addrinfo* a = head; a != nullptr; a = a->ai_next) {
        AddAddress(to, a->ai_family, a->ai_socktype, a->ai_protocol, a->ai_addr, a->ai_addrlen);
    }
    freeaddrinfo(head);
    return 0;
}

}  // namespace quorvane::platform
