#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "../Deadline.h"
#include "rcon/Error.h"
#include "rcon/Socket.h"

namespace rcon::net {
namespace {

SOCKET Handle(const Socket& socket) {
    return static_cast<SOCKET>(socket.Handle());
}

// Winsock must be started before the first call; it stays up until the process ends.
void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

std::string Reason(int error) {
    return std::system_category().message(error);
}

// Waits until the socket is readable or writable. False when the deadline passed first.
// select, not WSAPoll: WSAPoll does not report a refused connect on older Windows.
bool WaitFor(SOCKET socket, bool write, Clock::time_point deadline) {
    for (;;) {
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket, &ready);
        FD_SET(socket, &failed);
        const int ms = MillisecondsUntil(deadline);
        timeval timeout{ms / 1000, (ms % 1000) * 1000};
        if (select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &timeout) != 0) {
            return true;  // ready, failed, or an error that the following call reports
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

// A socket that a started child process does not inherit, in non-blocking mode.
Socket NewSocket(int family, int type, int protocol) {
    Socket socket(static_cast<std::uintptr_t>(
        WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
    u_long on = 1;
    if (socket.IsOpen()) {
        ioctlsocket(Handle(socket), FIONBIO, &on);
    }
    return socket;
}

// Replies are small and come one request at a time, so Nagle's delay would only slow us.
void NoDelay(SOCKET socket) {
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

struct AddressList {
    addrinfo* head = nullptr;
    ~AddressList() {
        if (head != nullptr) {
            freeaddrinfo(head);
        }
    }
};

std::string Endpoint(const std::string& host, int port) {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

}  // namespace

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.Release();
    }
    return *this;
}

void Socket::Close() {
    if (IsOpen()) {
        closesocket(static_cast<SOCKET>(Release()));
    }
}

Socket Connect(const std::string& host, int port, Clock::time_point deadline) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    const int resolved =
        getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.head);
    if (resolved != 0) {
        throw Error(ErrorKind::Connection, "cannot resolve " + host + ": " + Reason(resolved));
    }
    int lastError = 0;
    for (addrinfo* a = addresses.head; a != nullptr; a = a->ai_next) {
        Socket socket = NewSocket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (!socket.IsOpen()) {
            lastError = WSAGetLastError();
            continue;
        }
        if (::connect(Handle(socket), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                lastError = WSAGetLastError();
                continue;
            }
            if (!WaitFor(Handle(socket), true, deadline)) {
                throw Error(ErrorKind::Timeout, "timed out connecting to " + Endpoint(host, port));
            }
            int length = sizeof lastError;
            getsockopt(Handle(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&lastError),
                       &length);
            if (lastError != 0) {
                continue;
            }
        }
        NoDelay(Handle(socket));
        return socket;
    }
    throw Error(ErrorKind::Connection,
                "cannot connect to " + Endpoint(host, port) + ": " + Reason(lastError));
}

IoStatus SendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int sent = ::send(Handle(socket), bytes.data(), chunk, 0);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!WaitFor(Handle(socket), true, deadline)) {
                return IoStatus::TimedOut;
            }
        } else {
            return IoStatus::Closed;
        }
    }
    return IoStatus::Done;
}

IoStatus Receive(const Socket& socket, char* buffer, std::size_t size, Clock::time_point deadline,
                 std::size_t& received) {
    received = 0;
    const int chunk = static_cast<int>(std::min<std::size_t>(size, 1 << 20));
    for (;;) {
        const int got = ::recv(Handle(socket), buffer, chunk, 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return IoStatus::Done;
        }
        if (got == 0 || WSAGetLastError() != WSAEWOULDBLOCK) {
            return IoStatus::Closed;
        }
        if (!WaitFor(Handle(socket), false, deadline)) {
            return IoStatus::TimedOut;
        }
    }
}

Socket Listen(const std::string& address, int port) {
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    AddressList addresses;
    const int resolved =
        getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &addresses.head);
    if (resolved != 0) {
        throw Error(ErrorKind::Connection,
                    "cannot listen on " + Endpoint(address, port) + ": " + Reason(resolved));
    }
    const addrinfo* a = addresses.head;
    Socket socket = NewSocket(a->ai_family, a->ai_socktype, a->ai_protocol);
    // Windows' SO_REUSEADDR would let another process take the port over; this refuses that.
    const BOOL on = TRUE;
    if (!socket.IsOpen() ||
        setsockopt(Handle(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        ::bind(Handle(socket), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0 ||
        ::listen(Handle(socket), SOMAXCONN) != 0) {
        throw Error(ErrorKind::Connection, "cannot listen on " + Endpoint(address, port) + ": " +
                                               Reason(WSAGetLastError()));
    }
    return socket;
}

int LocalPort(const Socket& socket) {
    sockaddr_storage address{};
    int length = sizeof address;
    if (getsockname(Handle(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, nullptr, 0, port, sizeof port,
                NI_NUMERICSERV);
    return std::atoi(port);
}

std::optional<Accepted> Accept(const Socket& listener, Clock::time_point deadline) {
    if (!WaitFor(Handle(listener), false, deadline)) {
        return std::nullopt;
    }
    sockaddr_storage address{};
    int length = sizeof address;
    Socket socket(static_cast<std::uintptr_t>(
        ::accept(Handle(listener), reinterpret_cast<sockaddr*>(&address), &length)));
    if (!socket.IsOpen()) {
        return std::nullopt;  // the client gave up between select and accept
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(Handle(socket)), HANDLE_FLAG_INHERIT, 0);
    u_long on = 1;
    ioctlsocket(Handle(socket), FIONBIO, &on);
    NoDelay(Handle(socket));
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, port, sizeof port,
                NI_NUMERICHOST | NI_NUMERICSERV);
    return Accepted{std::move(socket), Endpoint(host, std::atoi(port))};
}

}  // namespace rcon::net
