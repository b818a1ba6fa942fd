#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "../Deadline.h"
#include "rcon/Error.h"
#include "rcon/Socket.h"

namespace rcon::net {
namespace {

int Fd(const Socket& socket) {
    return static_cast<int>(socket.Handle());
}

std::string Reason(int error) {
    return std::system_category().message(error);
}

// Waits for `events` on the socket. False when the deadline passed first.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = poll(&entry, 1, MillisecondsUntil(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 && Clock::now() >= deadline) {
            return false;
        }
        if (ready < 0 && errno != EINTR) {
            return true;  // let the following call report the error
        }
    }
}

// Replies are small and come one request at a time, so Nagle's delay would only slow us.
void NoDelay(int fd) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
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
        ::close(static_cast<int>(Release()));
    }
}

Socket Connect(const std::string& host, int port, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    const int resolved =
        getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.head);
    if (resolved != 0) {
        throw Error(ErrorKind::Connection,
                    "cannot resolve " + host + ": " + gai_strerror(resolved));
    }
    int lastError = 0;
    for (addrinfo* a = addresses.head; a != nullptr; a = a->ai_next) {
        Socket socket(static_cast<std::uintptr_t>(
            ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol)));
        if (!socket.IsOpen()) {
            lastError = errno;
            continue;
        }
        if (::connect(Fd(socket), a->ai_addr, a->ai_addrlen) != 0) {
            if (errno != EINPROGRESS) {
                lastError = errno;
                continue;
            }
            if (!WaitFor(Fd(socket), POLLOUT, deadline)) {
                throw Error(ErrorKind::Timeout, "timed out connecting to " + Endpoint(host, port));
            }
            socklen_t length = sizeof lastError;
            getsockopt(Fd(socket), SOL_SOCKET, SO_ERROR, &lastError, &length);
            if (lastError != 0) {
                continue;
            }
        }
        NoDelay(Fd(socket));
        return socket;
    }
    throw Error(ErrorKind::Connection,
                "cannot connect to " + Endpoint(host, port) + ": " + Reason(lastError));
}

IoStatus SendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(Fd(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(Fd(socket), POLLOUT, deadline)) {
                return IoStatus::TimedOut;
            }
        } else if (errno != EINTR) {
            return IoStatus::Closed;
        }
    }
    return IoStatus::Done;
}

IoStatus Receive(const Socket& socket, char* buffer, std::size_t size, Clock::time_point deadline,
                 std::size_t& received) {
    received = 0;
    for (;;) {
        const ssize_t got = ::recv(Fd(socket), buffer, size, 0);
        if (got > 0) {
            received = static_cast<std::size_t>(got);
            return IoStatus::Done;
        }
        if (got == 0) {
            return IoStatus::Closed;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(Fd(socket), POLLIN, deadline)) {
                return IoStatus::TimedOut;
            }
        } else if (errno != EINTR) {
            return IoStatus::Closed;
        }
    }
}

Socket Listen(const std::string& address, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    AddressList addresses;
    const int resolved =
        getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &addresses.head);
    if (resolved != 0) {
        throw Error(ErrorKind::Connection,
                    "cannot listen on " + Endpoint(address, port) + ": " + gai_strerror(resolved));
    }
    const addrinfo* a = addresses.head;
    Socket socket(static_cast<std::uintptr_t>(
        ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol)));
    // A restarted server gets its port back while old connections linger in TIME_WAIT.
    const int on = 1;
    if (!socket.IsOpen() || setsockopt(Fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(Fd(socket), a->ai_addr, a->ai_addrlen) != 0 ||
        ::listen(Fd(socket), SOMAXCONN) != 0) {
        throw Error(ErrorKind::Connection,
                    "cannot listen on " + Endpoint(address, port) + ": " + Reason(errno));
    }
    return socket;
}

int LocalPort(const Socket& socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, nullptr, 0, port, sizeof port,
                NI_NUMERICSERV);
    return std::atoi(port);
}

std::optional<Accepted> Accept(const Socket& listener, Clock::time_point deadline) {
    if (!WaitFor(Fd(listener), POLLIN, deadline)) {
        return std::nullopt;
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    Socket socket(
        static_cast<std::uintptr_t>(accept4(Fd(listener), reinterpret_cast<sockaddr*>(&address),
                                            &length, SOCK_CLOEXEC | SOCK_NONBLOCK)));
    if (!socket.IsOpen()) {
        return std::nullopt;  // the client gave up between poll and accept
    }
    NoDelay(Fd(socket));
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host, sizeof host, port, sizeof port,
                NI_NUMERICHOST | NI_NUMERICSERV);
    return Accepted{std::move(socket), Endpoint(host, std::atoi(port))};
}

}  // namespace rcon::net
