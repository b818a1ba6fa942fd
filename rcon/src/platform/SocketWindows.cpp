#include <algorithm>
#include <system_error>

#include "../Deadline.h"
#include "SocketApi.h"

namespace rcon::net::sys {
namespace {

void NonBlocking(SOCKET socket) {
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
}

// send and recv take an int size.
int Chunk(std::size_t size) {
    return static_cast<int>((std::min)(size, std::size_t{1} << 20));
}

Step Failure() {
    return WSAGetLastError() == WSAEWOULDBLOCK ? Step::WouldBlock : Step::Failed;
}

}  // namespace

void Start() {
    // Started once; it stays up until the process ends.
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

int LastError() {
    return WSAGetLastError();
}

std::string ResolveReason(int code) {
    return std::system_category().message(code);
}

Handle Open(const addrinfo& address) {
    const SOCKET socket = WSASocketW(address.ai_family, address.ai_socktype, address.ai_protocol,
                                     nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (socket != INVALID_SOCKET) {
        NonBlocking(socket);
    }
    return static_cast<Handle>(socket);
}

void Close(Handle handle) {
    closesocket(ToNative(handle));
}

Step StartConnect(Handle handle, const addrinfo& address) {
    if (::connect(ToNative(handle), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        return Step::Done;
    }
    return Failure();
}

void TakeConnectError(Handle handle, int& error) {
    int length = sizeof error;
    getsockopt(ToNative(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
}

// select, not WSAPoll: WSAPoll does not report a refused connect on older Windows. Waits in
// short slices: Wine keeps the socket of a killed process open until its select would have
// timed out, so a client the plugin ends would otherwise hold its server's connection that long.
bool WaitFor(Handle handle, Ready ready, Clock::time_point deadline) {
    const bool write = ready == Ready::Write;
    for (;;) {
        fd_set chosen;
        fd_set failed;
        FD_ZERO(&chosen);
        FD_ZERO(&failed);
        FD_SET(ToNative(handle), &chosen);
        FD_SET(ToNative(handle), &failed);
        const int ms = (std::min)(MillisecondsUntil(deadline), 250);
        timeval timeout{ms / 1000, (ms % 1000) * 1000};
        if (select(0, write ? nullptr : &chosen, write ? &chosen : nullptr, &failed, &timeout) !=
            0) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

Step Send(Handle handle, const char* bytes, std::size_t size, std::size_t& sent) {
    const int result = ::send(ToNative(handle), bytes, Chunk(size), 0);
    if (result < 0) {
        return Failure();
    }
    sent = static_cast<std::size_t>(result);
    return Step::Done;
}

Step Receive(Handle handle, char* buffer, std::size_t size, std::size_t& received) {
    const int result = ::recv(ToNative(handle), buffer, Chunk(size), 0);
    if (result < 0) {
        return Failure();
    }
    received = static_cast<std::size_t>(result);
    return Step::Done;
}

void NoDelay(Handle handle) {
    const BOOL on = TRUE;
    setsockopt(ToNative(handle), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

bool BindAndListen(Handle handle, const addrinfo& address) {
    // Windows' SO_REUSEADDR would let another process take the port over; this refuses that.
    const BOOL on = TRUE;
    return setsockopt(ToNative(handle), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                      reinterpret_cast<const char*>(&on), sizeof on) == 0 &&
           ::bind(ToNative(handle), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0 &&
           ::listen(ToNative(handle), SOMAXCONN) == 0;
}

Handle Accept(Handle listener, std::string& host, int& port) {
    sockaddr_storage address{};
    int length = sizeof address;
    const SOCKET socket =
        ::accept(ToNative(listener), reinterpret_cast<sockaddr*>(&address), &length);
    if (socket != INVALID_SOCKET) {
        SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
        NonBlocking(socket);
        NumericName(address, length, host, port);
    }
    return static_cast<Handle>(socket);
}

}  // namespace rcon::net::sys
