#pragma once
// A Source RCON client for servers that take one request at a time: it sends a request only
// after the previous reply is complete. Every method throws rcon::Error.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "rcon/Packet.h"
#include "rcon/Socket.h"

namespace rcon {

class Client {
  public:
    // Connects; `timeout` bounds the connect and, from then on, each login and each command:
    // its whole reply must arrive within it.
    Client(const std::string& host, int port, std::chrono::milliseconds timeout);

    // Logs in. Authentication when the server answers with id -1. The reading is the
    // plugin's (rcon/Reply.h): packets of other ids are skipped.
    void Authenticate(std::string_view password);

    // Runs one command and returns its reply's body, read as rcon/Reply.h says: one
    // RESPONSE_VALUE packet, or several when the server splits a long one; after a full
    // packet (4086 body bytes), the server's silence, its close or the deadline ends it.
    std::string Execute(std::string_view command);

  private:
    // The next packet; nullopt when `mayEnd` (the reply has begun) and the server went quiet
    // or closed, or the deadline passed.
    std::optional<Packet> Read(net::Clock::time_point deadline, const std::string& awaiting,
                               bool mayEnd);
    void Send(const Packet& packet, net::Clock::time_point deadline, const std::string& awaiting);

    std::chrono::milliseconds timeout_;
    net::Socket socket_;
    PacketDecoder decoder_;
    std::int32_t nextId_ = 1;
    int commands_ = 0;
};

}  // namespace rcon
