#include "ScriptedServer.h"

#include <chrono>
#include <stdexcept>

namespace rcon_testing {
namespace {

using rcon::net::Clock;
constexpr std::chrono::seconds kPatience{10};

}  // namespace

rcon::Packet ScriptPeer::Read() {
    const auto deadline = Clock::now() + kPatience;
    for (;;) {
        if (auto packet = decoder_.Next()) {
            return *packet;
        }
        char buffer[8192];
        std::size_t received = 0;
        if (rcon::net::Receive(socket_, buffer, sizeof buffer, deadline, received) !=
            rcon::net::IoStatus::Done) {
            throw std::runtime_error("the client sent no packet");
        }
        decoder_.Feed({buffer, received});
    }
}

void ScriptPeer::Write(std::string_view bytes) {
    if (rcon::net::SendAll(socket_, bytes, Clock::now() + kPatience) != rcon::net::IoStatus::Done) {
        throw std::runtime_error("the client did not take the bytes");
    }
}

void ScriptPeer::WriteInPieces(std::string_view bytes, std::size_t pieceSize) {
    while (!bytes.empty()) {
        const auto piece = bytes.substr(0, pieceSize);
        Write(piece);
        bytes.remove_prefix(piece.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ScriptPeer::WaitForClose() {
    const auto deadline = Clock::now() + kPatience;
    char buffer[8192];
    std::size_t received = 0;
    for (;;) {
        switch (rcon::net::Receive(socket_, buffer, sizeof buffer, deadline, received)) {
            case rcon::net::IoStatus::Closed:
                return;
            case rcon::net::IoStatus::TimedOut:
                throw std::runtime_error("the client did not close the connection");
            case rcon::net::IoStatus::Done:
                break;
        }
    }
}

ScriptedServer::ScriptedServer(Script script)
    : listener_(rcon::net::Listen("127.0.0.1", 0)), port_(rcon::net::LocalPort(listener_)) {
    thread_ = std::thread([this, script = std::move(script)] {
        try {
            auto connection = rcon::net::Accept(listener_, Clock::now() + kPatience);
            if (!connection) {
                throw std::runtime_error("no client connected");
            }
            ScriptPeer peer(std::move(connection->socket));
            script(peer);
        } catch (const std::exception& e) {
            failure_ = e.what();
        }
    });
}

ScriptedServer::~ScriptedServer() {
    Finish();
}

std::string ScriptedServer::Finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return failure_;
}

void AcceptLogin(ScriptPeer& peer) {
    const auto auth = peer.Read();
    if (auth.type != rcon::kAuth) {
        throw std::runtime_error("the first packet is not a login");
    }
    peer.Send({auth.id, rcon::kAuthResponse, ""});
}

int UnusedPort() {
    return rcon::net::LocalPort(rcon::net::Listen("127.0.0.1", 0));
}

}  // namespace rcon_testing
