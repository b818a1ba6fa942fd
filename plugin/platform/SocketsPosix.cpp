#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <system_error>

#include "platform/HostLookup.h"
#include "platform/SocketAddresses.h"
#include "platform/Sockets.h"

namespace quorvane::platform {

struct Sockets::Connection::Native {
    int fd = -1;
    ~Native() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

// Every wait also watches `wake`, which EndAll makes readable for good.
struct Sockets::State {
    int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::atomic<bool> ended{false};
    HostLookups lookups;

    ~State() {
        if (wake >= 0) {
            close(wake);
        }
    }

    // Done once `fd` is ready for `events` (or failed: the next call tells).
    Status WaitFor(int fd, short events, Clock::time_point until) const {
        for (;;) {
            if (ended) {
                return Status::Ended;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            // Without an eventfd, a look at the flag now and then.
            const long long most = wake >= 0 ? INT_MAX : 100;
            pollfd watched[2] = {{fd, events, 0}, {wake, POLLIN, 0}};
            const int ready =
                poll(watched, 2, static_cast<int>(std::clamp<long long>(left.count(), 0, most)));
            if (ready > 0) {
                return watched[1].revents != 0 ? Status::Ended : Status::Done;
            }
            if (ready < 0 && errno != EINTR) {
                return Status::Done;
            }
            if (ready == 0 && Clock::now() >= until) {
                return Status::TimedOut;
            }
        }
    }
};

Sockets::Sockets() : state_(std::make_unique<State>()) {}
Sockets::~Sockets() = default;

Sockets::Status Sockets::Connect(const std::string& host, int port, Clock::time_point until,
                                 Connection& connection, std::string& reason) {
    if (state_->ended) {
        return Status::Ended;
    }
    std::vector<SocketAddress> addresses;
    if (const int numeric = NumericAddresses(host, port, addresses)) {
        if (numeric != EAI_NONAME) {
            reason = "cannot resolve " + host + ": " + gai_strerror(numeric);
            return Status::Failed;
        }
        switch (state_->lookups.Resolve(host, port, until, addresses, reason)) {
            case HostLookups::Status::Done:
                break;
            case HostLookups::Status::Failed:
                return Status::Failed;
            case HostLookups::Status::TimedOut:
                return Status::TimedOut;
            case HostLookups::Status::Ended:
                return Status::Ended;
        }
    }
    int error = 0;
    for (const auto& a : addresses) {
        auto native = std::make_shared<Connection::Native>();
        native->fd = socket(a.family, a.type | SOCK_CLOEXEC | SOCK_NONBLOCK, a.protocol);
        if (native->fd < 0) {
            error = errno;
            continue;
        }
        if (connect(native->fd, reinterpret_cast<const sockaddr*>(&a.address),
                    static_cast<socklen_t>(a.length)) != 0) {
            if (errno != EINPROGRESS) {
                error = errno;
                continue;
            }
            if (const auto wait = state_->WaitFor(native->fd, POLLOUT, until);
                wait != Status::Done) {
                return wait;
            }
            socklen_t length = sizeof error;
            error = 0;
            getsockopt(native->fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (error != 0) {
                continue;
            }
        }
        connection.native_ = std::move(native);
        return Status::Done;
    }
    reason = std::system_category().message(error);
    return Status::Failed;
}

Sockets::Status Sockets::Send(Connection& connection, std::string_view bytes,
                              Clock::time_point until) {
    const int fd = connection.native_->fd;
    while (!bytes.empty()) {
        if (state_->ended) {
            return Status::Ended;
        }
        // MSG_NOSIGNAL: a peer that is gone is an outcome, not a SIGPIPE that ends the game.
        const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (const auto wait = state_->WaitFor(fd, POLLOUT, until); wait != Status::Done) {
                return wait;
            }
        } else if (errno != EINTR) {
            return Status::Closed;
        }
    }
    return Status::Done;
}

Sockets::Status Sockets::Receive(Connection& connection, std::string& into,
                                 Clock::time_point until) {
    const int fd = connection.native_->fd;
    for (;;) {
        if (state_->ended) {
            return Status::Ended;
        }
        char buffer[16384];
        const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
        if (received > 0) {
            into.append(buffer, static_cast<std::size_t>(received));
            return Status::Done;
        }
        if (received == 0) {
            return Status::Closed;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (const auto wait = state_->WaitFor(fd, POLLIN, until); wait != Status::Done) {
                return wait;
            }
        } else if (errno != EINTR) {
            return Status::Closed;
        }
    }
}

void Sockets::EndAll() {
    state_->ended = true;
    state_->lookups.EndAll();
    if (state_->wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = write(state_->wake, &one, sizeof one);
    }
}

}  // namespace quorvane::platform
