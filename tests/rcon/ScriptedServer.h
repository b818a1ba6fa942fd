#pragma once
// A Source RCON server for one connection that follows a script, for the misbehaviours the
// stand-in listener never shows: silence, replies in pieces or in several packets, Source's
// extra packet at login, broken packets.

#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "rcon/Packet.h"
#include "rcon/Socket.h"

namespace rcon_testing {

// The server's end of the connection. Every wait ends after 10 s with an exception, so that
// a script cannot hang a test.
class ScriptPeer {
  public:
    explicit ScriptPeer(rcon::net::Socket socket) : socket_(std::move(socket)) {}

    rcon::Packet Read();
    void Send(const rcon::Packet& packet) { Write(rcon::Encode(packet)); }
    void Write(std::string_view bytes);
    // Several writes of `pieceSize` bytes with a pause between them, so that the client
    // receives the bytes in several reads.
    void WriteInPieces(std::string_view bytes, std::size_t pieceSize);
    // Returns when the client has closed its end.
    void WaitForClose();

  private:
    rcon::net::Socket socket_;
    rcon::PacketDecoder decoder_;
};

class ScriptedServer {
  public:
    using Script = std::function<void(ScriptPeer&)>;

    // Listens on a free loopback port and runs `script` on the first connection.
    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int Port() const { return port_; }
    // Waits for the script to end; what went wrong in it, empty when nothing did.
    std::string Finish();

  private:
    rcon::net::Socket listener_;
    int port_ = 0;
    std::string failure_;
    std::thread thread_;
};

// A script for a well-behaved login: reads the AUTH packet and accepts it.
void AcceptLogin(ScriptPeer& peer);

// A loopback port that nothing listens on (one that was free a moment ago).
int UnusedPort();

}  // namespace rcon_testing
