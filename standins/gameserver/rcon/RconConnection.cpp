#include "RconConnection.h"

#include <chrono>

#include <nlohmann/json.hpp>

#include "rcon/Error.h"
#include "rcon/Packet.h"

namespace gameserver {
namespace {

using rcon::net::Clock;

// How often a waiting connection looks at the stop flag: Stop() never closes a socket under
// another thread's feet, it waits for this long at most.
constexpr std::chrono::milliseconds kReceiveTick{50};
// A reply that the peer does not take within this is given up with the connection.
constexpr std::chrono::seconds kSendTimeout{5};

// The command as one JSON string, so that a line break or a quote cannot bend a log line.
std::string Quoted(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

class Conversation {
  public:
    Conversation(rcon::net::Accepted connection, const RconContext& context)
        : socket_(std::move(connection.socket)),
          peer_(std::move(connection.peer)),
          session_(context, peer_) {}

    // False once the connection is to be closed.
    bool Answer(const rcon::Packet& request) {
        const auto outcome = session_.Respond(request);
        if (outcome.close) {
            return false;
        }
        for (const auto& reply : outcome.replies) {
            if (!Send(reply)) {
                return false;
            }
        }
        return true;
    }

    bool Send(const rcon::Packet& packet) {
        return rcon::net::SendAll(socket_, rcon::Encode(packet), Clock::now() + kSendTimeout) ==
               rcon::net::IoStatus::Done;
    }

    const rcon::net::Socket& Socket() const { return socket_; }
    const std::string& Peer() const { return peer_; }

  private:
    rcon::net::Socket socket_;
    std::string peer_;
    RconSession session_;
};

}  // namespace

RconSession::Outcome RconSession::Respond(const rcon::Packet& request) {
    if (request.type == rcon::kAuth) {
        // An empty admin password lets no one in.
        loggedIn_ = !c_.password.empty() && request.body == c_.password;
        if (loggedIn_) {
            c_.log->info("Login from {}", peer_);
        } else {
            c_.log->warn("Login refused from {}", peer_);
        }
        return {{{loggedIn_ ? request.id : rcon::kAuthFailedId, rcon::kAuthResponse, ""}}};
    }
    if (request.type != rcon::kExecCommand) {
        c_.log->warn("Ignored a packet of type {} from {}", request.type, peer_);
        return {};
    }
    if (!loggedIn_) {
        c_.log->warn("Command before login from {}; connection closed", peer_);
        return {{}, true};
    }
    c_.log->info("Command from {}: {}", peer_, Quoted(request.body));
    c_.record->Add({request.body, peer_});
    RconAnswer answer = c_.console ? c_.console(request.body, request.id) : RconAnswer();
    if (answer.sent) {
        return {std::move(*answer.sent)};
    }
    // Console output longer than a packet holds comes as several, as the game sends it.
    std::string output = answer.output.empty() ? kNoResponse : std::move(answer.output);
    Outcome outcome;
    for (std::size_t at = 0; at < output.size(); at += rcon::kMaxBodySize) {
        outcome.replies.push_back(
            {request.id, rcon::kResponseValue, output.substr(at, rcon::kMaxBodySize)});
    }
    return outcome;
}

void ServeRconConnection(rcon::net::Accepted connection, const RconContext& context,
                         const std::atomic<bool>& stopping) {
    Conversation conversation(std::move(connection), context);
    rcon::PacketDecoder decoder(rcon::kMaxPacketSize);  // requests keep the limit
    char buffer[8192];
    while (!stopping) {
        std::size_t received = 0;
        const auto status = rcon::net::Receive(conversation.Socket(), buffer, sizeof buffer,
                                               Clock::now() + kReceiveTick, received);
        if (status == rcon::net::IoStatus::Closed) {
            return;
        }
        decoder.Feed({buffer, received});
        try {
            // One request at a time: each is answered before the next one is looked at.
            while (auto request = decoder.Next()) {
                if (stopping || !conversation.Answer(*request)) {
                    return;
                }
            }
        } catch (const rcon::Error& e) {
            context.log->warn("Closed the connection from {}: {}", conversation.Peer(), e.what());
            return;
        }
    }
}

}  // namespace gameserver
