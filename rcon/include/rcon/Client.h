#pragma once
// A Source RCON client for servers that take one request at a time: it sends a request only
// after the previous reply is complete. Every method throws rcon::Error.

#include <chrono>
#include <cstdint>
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

    // Logs in. Authentication when the server answers with id -1. An empty RESPONSE_VALUE
    // ahead of the AUTH_RESPONSE (Source servers send one) is accepted, never required.
    void Authenticate(std::string_view password);

    // Runs one command and returns its reply's body. A reply is one RESPONSE_VALUE packet,
    // or several when the server splits a long one: a packet that is full (4086 body bytes)
    // is followed by the rest of the reply.
    std::string Execute(std::string_view command);

  private:
    Packet Read(net::Clock::time_point deadline, const std::string& awaiting);
    void Send(const Packet& packet, net::Clock::time_point deadline, const std::string& awaiting);

    std::chrono::milliseconds timeout_;
    net::Socket socket_;
    PacketDecoder decoder_;
    std::int32_t nextId_ = 1;
    int commands_ = 0;
};

}  // namespace rcon
