#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "../Deadline.h"
#include "SocketApi.h"

namespace rcon::net::sys {
namespace {

Step Failure() {
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return Step::WouldBlock;
    }
    return errno == EINTR ? Step::Interrupted : Step::Failed;
}

}  // namespace

void Start() {}

int LastError() {
    return errno;
}

std::string ResolveReason(int code) {
    return gai_strerror(code);
}

Handle Open(const addrinfo& address) {
    return static_cast<Handle>(::socket(address.ai_family,
                                        address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                        address.ai_protocol));
}

void Close(Handle handle) {
    ::close(ToNative(handle));
}

Step StartConnect(Handle handle, const addrinfo& address) {
    if (::connect(ToNative(handle), address.ai_addr, address.ai_addrlen) == 0) {
        return Step::Done;
    }
    return errno == EINPROGRESS ? Step::WouldBlock : Step::Failed;
}

void TakeConnectError(Handle handle, int& error) {
    socklen_t length = sizeof error;
    getsockopt(ToNative(handle), SOL_SOCKET, SO_ERROR, &error, &length);
}

bool WaitFor(Handle handle, Ready ready, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{ToNative(handle), static_cast<short>(ready == Ready::Read ? POLLIN : POLLOUT),
                     0};
        const int result = poll(&entry, 1, MillisecondsUntil(deadline));
        if (result > 0) {
            return true;
        }
        if (result == 0 && Clock::now() >= deadline) {
            return false;
        }
        if (result < 0 && errno != EINTR) {
            return true;
        }
    }
}

Step Send(Handle handle, const char* bytes, std::size_t size, std::size_t& sent) {
    // MSG_NOSIGNAL: a peer that is gone is an error to report, not a SIGPIPE that ends us.
    const ssize_t result = ::send(ToNative(handle), bytes, size, MSG_NOSIGNAL);
    if (result < 0) {
        return Failure();
    }
    sent = static_cast<std::size_t>(result);
    return Step::Done;
}

Step Receive(Handle handle, char* buffer, std::size_t size, std::size_t& received) {
    const ssize_t result = ::recv(ToNative(handle), buffer, size, 0);
    if (result < 0) {
        return Failure();
    }
    received = static_cast<std::size_t>(result);
    return Step::Done;
}

void NoDelay(Handle handle) {
    const int on = 1;
    setsockopt(ToNative(handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool BindAndListen(Handle handle, const addrinfo& address) {
    // A restarted server gets its port back while old connections linger in TIME_WAIT.
    const int on = 1;
    return setsockopt(ToNative(handle), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
           ::bind(ToNative(handle), address.ai_addr, address.ai_addrlen) == 0 &&
           ::listen(ToNative(handle), SOMAXCONN) == 0;
}

Handle Accept(Handle listener, std::string& host, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = accept4(ToNative(listener), reinterpret_cast<sockaddr*>(&address), &length,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        NumericName(address, length, host, port);
    }
    return static_cast<Handle>(fd);
}

}  // namespace rcon::net::sys
