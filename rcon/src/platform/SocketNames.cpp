#include <cstdlib>

#include "SocketApi.h"

namespace rcon::net::sys {

Addresses::~Addresses() {
    if (head_ != nullptr) {
        freeaddrinfo(head_);
    }
}

int Addresses::Resolve(const std::string& host, int port, bool passive) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV : AI_NUMERICSERV;
    return getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &head_);
}

const addrinfo* Next(const addrinfo& address) {
    return address.ai_next;
}

void NumericName(const sockaddr_storage& address, socklen_t length, std::string& host, int& port) {
    char name[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<const sockaddr*>(&address), length, name, sizeof name, service,
                sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
    host = name;
    port = std::atoi(service);
}

int LocalPort(Handle handle) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(ToNative(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    std::string host;
    int port = 0;
    NumericName(address, length, host, port);
    return port;
}

}  // namespace rcon::net::sys
