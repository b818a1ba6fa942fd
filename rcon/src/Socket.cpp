#include "rcon/Socket.h"

#include <system_error>

#include "platform/SocketSystem.h"
#include "rcon/Error.h"

namespace rcon::net {
namespace {

std::string Reason(int error) {
    return std::system_category().message(error);
}

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
        sys::Close(Release());
    }
}

Socket Connect(const std::string& host, int port, Clock::time_point deadline) {
    sys::Start();
    sys::Addresses addresses;
    if (const int resolved = addresses.Resolve(host, port, false); resolved != 0) {
        throw Error(ErrorKind::Connection,
                    "cannot resolve " + host + ": " + sys::ResolveReason(resolved));
    }
    int lastError = 0;
    for (const addrinfo* a = addresses.First(); a != nullptr; a = sys::Next(*a)) {
        Socket socket(sys::Open(*a));
        if (!socket.IsOpen()) {
            lastError = sys::LastError();
            continue;
        }
        const sys::Step started = sys::StartConnect(socket.Handle(), *a);
        if (started == sys::Step::Failed) {
            lastError = sys::LastError();
            continue;
        }
        if (started == sys::Step::WouldBlock) {
            if (!sys::WaitFor(socket.Handle(), sys::Ready::Write, deadline)) {
                throw Error(ErrorKind::Timeout, "timed out connecting to " + Endpoint(host, port));
            }
            sys::TakeConnectError(socket.Handle(), lastError);
            if (lastError != 0) {
                continue;
            }
        }
        sys::NoDelay(socket.Handle());
        return socket;
    }
    throw Error(ErrorKind::Connection,
                "cannot connect to " + Endpoint(host, port) + ": " + Reason(lastError));
}

IoStatus SendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
        std::size_t sent = 0;
        switch (sys::Send(socket.Handle(), bytes.data(), bytes.size(), sent)) {
            case sys::Step::Done:
                bytes.remove_prefix(sent);
                break;
            case sys::Step::WouldBlock:
                if (!sys::WaitFor(socket.Handle(), sys::Ready::Write, deadline)) {
                    return IoStatus::TimedOut;
                }
                break;
            case sys::Step::Interrupted:
                break;
            case sys::Step::Failed:
                return IoStatus::Closed;
        }
    }
    return IoStatus::Done;
}

IoStatus Receive(const Socket& socket, char* buffer, std::size_t size, Clock::time_point deadline,
                 std::size_t& received) {
    received = 0;
    for (;;) {
        std::size_t got = 0;
        switch (sys::Receive(socket.Handle(), buffer, size, got)) {
            case sys::Step::Done:
                if (got == 0) {
                    return IoStatus::Closed;
                }
                received = got;
                return IoStatus::Done;
            case sys::Step::WouldBlock:
                if (!sys::WaitFor(socket.Handle(), sys::Ready::Read, deadline)) {
                    return IoStatus::TimedOut;
                }
                break;
            case sys::Step::Interrupted:
                break;
            case sys::Step::Failed:
                return IoStatus::Closed;
        }
    }
}

Socket Listen(const std::string& address, int port) {
    sys::Start();
    sys::Addresses addresses;
    if (const int resolved = addresses.Resolve(address, port, true); resolved != 0) {
        throw Error(ErrorKind::Connection, "cannot listen on " + Endpoint(address, port) + ": " +
                                               sys::ResolveReason(resolved));
    }
    const addrinfo& first = *addresses.First();
    Socket socket(sys::Open(first));
    if (!socket.IsOpen() || !sys::BindAndListen(socket.Handle(), first)) {
        const int error = sys::LastError();
        throw Error(ErrorKind::Connection,
                    "cannot listen on " + Endpoint(address, port) + ": " + Reason(error));
    }
    return socket;
}

int LocalPort(const Socket& socket) {
    return sys::LocalPort(socket.Handle());
}

std::optional<Accepted> Accept(const Socket& listener, Clock::time_point deadline) {
    if (!sys::WaitFor(listener.Handle(), sys::Ready::Read, deadline)) {
        return std::nullopt;
    }
    std::string host;
    int port = 0;
    Socket socket(sys::Accept(listener.Handle(), host, port));
    if (!socket.IsOpen()) {
        return std::nullopt;  // the client gave up between the wait and accept
    }
    sys::NoDelay(socket.Handle());
    return Accepted{std::move(socket), Endpoint(host, port)};
}

}  // namespace rcon::net
