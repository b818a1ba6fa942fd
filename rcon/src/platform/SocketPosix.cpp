#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "../Deadline.h"
#include "SocketSystem.h"

namespace rcon::net::sys {
namespace {

int Fd(Handle handle) {
    return static_cast<int>(handle);
}

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

Handle Open(const addrinfo& address) {
    return static_cast<Handle>(::socket(address.ai_family,
                                        address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                                        address.ai_protocol));
}

void Close(Handle handle) {
    ::close(Fd(handle));
}

Step StartConnect(Handle handle, const addrinfo& address) {
    if (::connect(Fd(handle), address.ai_addr, address.ai_addrlen) == 0) {
        return Step::Done;
    }
    return errno == EINPROGRESS ? Step::WouldBlock : Step::Failed;
}

void TakeConnectError(Handle handle, int& error) {
    socklen_t length = sizeof error;
    getsockopt(Fd(handle), SOL_SOCKET, SO_ERROR, &error, &length);
}

bool WaitFor(Handle handle, Ready ready, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{Fd(handle), static_cast<short>(ready == Ready::Read ? POLLIN : POLLOUT), 0};
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
    const ssize_t result = ::send(Fd(handle), bytes, size, MSG_NOSIGNAL);
    if (result < 0) {
        return Failure();
    }
    sent = static_cast<std::size_t>(result);
    return Step::Done;
}

Step Receive(Handle handle, char* buffer, std::size_t size, std::size_t& received) {
    const ssize_t result = ::recv(Fd(handle), buffer, size, 0);
    if (result < 0) {
        return Failure();
    }
    received = static_cast<std::size_t>(result);
    return Step::Done;
}

void NoDelay(Handle handle) {
    const int on = 1;
    setsockopt(Fd(handle), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool BindAndListen(Handle handle, const addrinfo& address) {
    // A restarted server gets its port back while old connections linger in TIME_WAIT.
    const int on = 1;
    return setsockopt(Fd(handle), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
           ::bind(Fd(handle), address.ai_addr, address.ai_addrlen) == 0 &&
           ::listen(Fd(handle), SOMAXCONN) == 0;
}

int LocalPort(Handle handle) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(Fd(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, nullptr, 0, port, sizeof port,
                NI_NUMERICSERV);
    return std::atoi(port);
}

Handle Accept(Handle listener, std::string& host, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int fd = accept4(Fd(listener), reinterpret_cast<sockaddr*>(&address), &length,
                           SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
        char name[NI_MAXHOST] = {};
        char service[NI_MAXSERV] = {};
        getnameinfo(reinterpret_cast<sockaddr*>(&address), length, name, sizeof name, service,
                    sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
        host = name;
        port = std::atoi(service);
    }
    return static_cast<Handle>(fd);
}

}  // namespace rcon::net::sys
