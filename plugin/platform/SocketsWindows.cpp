// winsock2.h includes windows.h itself, in the order the two need.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <system_error>

#include "platform/HostLookup.h"
#include "platform/SocketAddresses.h"
#include "platform/Sockets.h"

namespace quorvane::platform {

// A socket with the event that Winsock sets for it (WSAEventSelect, which also makes it
// non-blocking).
struct Sockets::Connection::Native {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT event = WSA_INVALID_EVENT;
    ~Native() {
        if (socket != INVALID_SOCKET) {
            closesocket(socket);
        }
        if (event != WSA_INVALID_EVENT) {
            WSACloseEvent(event);
        }
    }
};

// Every wait also watches `ending`, which EndAll sets for good. Winsock is started with the
// first connection, not while the library is being loaded (under the loader lock), and ended
// with this object.
struct Sockets::State {
    std::mutex mutex;
    bool started = false;
    HANDLE ending = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> ended{false};
    HostLookups lookups;

    ~State() {
        if (ending != nullptr) {
            CloseHandle(ending);
        }
        if (started) {
            WSACleanup();
        }
    }

    bool Start(std::string& reason) {
        std::lock_guard lock(mutex);
        if (!started) {
            WSADATA data;
            if (const int error = WSAStartup(MAKEWORD(2, 2), &data)) {
                reason = "the sockets library cannot be started: " +
                         std::system_category().message(error);
                return false;
            }
            started = true;
        }
        return true;
    }

    // Done once Winsock reports something on the socket (`seen`); Closed when the wait itself
    // fails.
    Status WaitFor(Connection::Native& native, Clock::time_point until,
                   WSANETWORKEVENTS& seen) const {
        for (;;) {
            if (ended) {
                return Status::Ended;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
            // Without the event, a look at the flag now and then.
            const long long most = ending != nullptr ? 0x7FFFFFFF : 100;
            const HANDLE events[2] = {native.event, ending};
            const DWORD result = WSAWaitForMultipleEvents(
                ending != nullptr ? 2 : 1, events, FALSE,
                static_cast<DWORD>(std::clamp<long long>(left.count(), 0, most)), FALSE);
            if (result == WSA_WAIT_EVENT_0) {
                seen = {};
                WSAEnumNetworkEvents(native.socket, native.event, &seen);
                return Status::Done;
            }
            if (result == WSA_WAIT_EVENT_0 + 1) {
                return Status::Ended;
            }
            if (result != WSA_WAIT_TIMEOUT) {
                return Status::Closed;
            }
            if (Clock::now() >= until) {
                return Status::TimedOut;
            }
        }
    }

    // After a send or recv that would block: Winsock reports FD_WRITE, FD_READ or FD_CLOSE
    // once it can go on.
    Status WaitToGoOn(Connection::Native& native, Clock::time_point until) const {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            return Status::Closed;
        }
        WSANETWORKEVENTS seen{};
        return WaitFor(native, until, seen);
    }
};

namespace {

// send and recv take an int size.
int Chunk(std::size_t size) {
    return static_cast<int>((std::min)(size, std::size_t{1} << 20));
}

}  // namespace

Sockets::Sockets() : state_(std::make_unique<State>()) {}
Sockets::~Sockets() = default;

Sockets::Status Sockets::Connect(const std::string& host, int port, Clock::time_point until,
                                 Connection& connection, std::string& reason) {
    if (state_->ended) {
        return Status::Ended;
    }
    if (!state_->Start(reason)) {
        return Status::Failed;
    }
    std::vector<SocketAddress> addresses;
    if (const int numeric = NumericAddresses(host, port, addresses)) {
        if (numeric != WSAHOST_NOT_FOUND && numeric != EAI_NONAME) {
            reason = "cannot resolve " + host + ": " + std::system_category().message(numeric);
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
        native->socket = WSASocketW(a.family, a.type, a.protocol, nullptr, 0,
                                    WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        native->event = native->socket != INVALID_SOCKET ? WSACreateEvent() : WSA_INVALID_EVENT;
        if (native->event == WSA_INVALID_EVENT ||
            WSAEventSelect(native->socket, native->event,
                           FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            error = WSAGetLastError();
            continue;
        }
        if (connect(native->socket, reinterpret_cast<const sockaddr*>(&a.address), a.length) != 0) {
            if (WSAGetLastError() != WSAEWOULDBLOCK) {
                error = WSAGetLastError();
                continue;
            }
            WSANETWORKEVENTS seen{};
            do {
                const auto wait = state_->WaitFor(*native, until, seen);
                if (wait == Status::Closed) {
                    seen.lNetworkEvents = FD_CONNECT;
                    seen.iErrorCode[FD_CONNECT_BIT] = WSAENOTCONN;
                } else if (wait != Status::Done) {
                    return wait;
                }
            } while ((seen.lNetworkEvents & FD_CONNECT) == 0);
            error = seen.iErrorCode[FD_CONNECT_BIT];
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
    auto& native = *connection.native_;
    while (!bytes.empty()) {
        if (state_->ended) {
            return Status::Ended;
        }
        const int sent = send(native.socket, bytes.data(), Chunk(bytes.size()), 0);
        if (sent != SOCKET_ERROR) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
        } else if (const auto wait = state_->WaitToGoOn(native, until); wait != Status::Done) {
            return wait;
        }
    }
    return Status::Done;
}

Sockets::Status Sockets::Receive(Connection& connection, std::string& into,
                                 Clock::time_point until) {
    auto& native = *connection.native_;
    for (;;) {
        if (state_->ended) {
            return Status::Ended;
        }
        char buffer[16384];
        const int received = recv(native.socket, buffer, sizeof buffer, 0);
        if (received > 0) {
            into.append(buffer, static_cast<std::size_t>(received));
            return Status::Done;
        }
        if (received == 0) {
            return Status::Closed;
        }
        if (const auto wait = state_->WaitToGoOn(native, until); wait != Status::Done) {
            return wait;
        }
    }
}

void Sockets::EndAll() {
    state_->ended = true;
    state_->lookups.EndAll();
    if (state_->ending != nullptr) {
        SetEvent(state_->ending);
    }
}

}  // namespace quorvane::platform
