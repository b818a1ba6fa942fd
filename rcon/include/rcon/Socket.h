#pragma once
// The few TCP calls that the client and the listener make, over BSD sockets or Winsock. Every
// wait ends at a deadline, so nothing here blocks for ever.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rcon::net {

using Clock = std::chrono::steady_clock;

// Owns one socket and closes it. The handle is wide enough for a Winsock SOCKET; all bits
// set is "none" on both platforms (-1 and INVALID_SOCKET).
class Socket {
  public:
    Socket() = default;
    explicit Socket(std::uintptr_t handle) : handle_(handle) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : handle_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsOpen() const { return handle_ != kNone; }
    std::uintptr_t Handle() const { return handle_; }
    void Close();

  private:
    static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};
    std::uintptr_t Release() {
        const auto handle = handle_;
        handle_ = kNone;
        return handle;
    }
    std::uintptr_t handle_ = kNone;
};

// Tries every address of `host` in turn. Throws rcon::Error: Connection when the name does
// not resolve or no address accepts, Timeout when the deadline passes first.
Socket Connect(const std::string& host, int port, Clock::time_point deadline);

enum class IoStatus { Done, Closed, TimedOut };

// Writes all of `bytes`. Closed: the peer is gone.
IoStatus SendAll(const Socket& socket, std::string_view bytes, Clock::time_point deadline);
// Waits until the deadline for bytes, then reads what has arrived (at most `size`) and says
// how many in `received`. Closed: the peer closed or reset the connection.
IoStatus Receive(const Socket& socket, char* buffer, std::size_t size, Clock::time_point deadline,
                 std::size_t& received);

// Listens on a numeric address; port 0 picks a free port (see LocalPort). Throws
// rcon::Error (Connection) when it cannot.
Socket Listen(const std::string& address, int port);
int LocalPort(const Socket& socket);

struct Accepted {
    Socket socket;
    std::string peer;  // "127.0.0.1:50512", "[::1]:50512"
};
// A connection that arrives before the deadline, or nullopt.
std::optional<Accepted> Accept(const Socket& listener, Clock::time_point deadline);

}  // namespace rcon::net
