// The game stand-in's RCON listener, its socket aside: the bytes of one connection through
// the listener's decoder and session. A command is run and recorded only after a login with
// the admin password on that connection; every request gets the answer Source RCON gives (a
// long one in packets of at most 4086 bytes, each but the last full); every request leaves
// exactly one log line, whatever its bytes.
// Input: one byte (bit 0: an empty admin password, which lets no one in; the others: how the
// stream is cut into reads), then the client's bytes.

#include <spdlog/logger.h>
#include <spdlog/sinks/ostream_sink.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "Check.h"
#include "RconConnection.h"
#include "rcon/Error.h"
#include "rcon/Packet.h"

namespace {

using fuzzing::Require;

// Sometimes longer than one packet holds.
std::string Output(const std::string& command) {
    return command.size() % 4 == 1 ? "ran " + command : std::string(3 * command.size(), 'o');
}

struct Connection {
    explicit Connection(std::string password) : record("") {
        auto sink = std::make_shared<spdlog::sinks::ostream_sink_st>(log);
        sink->set_pattern("%v");
        context.password = std::move(password);
        context.console = [](const std::string& command, int) -> gameserver::RconAnswer {
            // Sometimes silent, so that the listener's own answer is given.
            return command.size() % 2 == 0 ? std::string() : Output(command);
        };
        context.record = &record;
        context.log = std::make_shared<spdlog::logger>("rcon", sink);
    }

    std::ostringstream log;
    gameserver::RconRecord record;
    gameserver::RconContext context;
};

// What a client reads of a reply: it must decode as it was meant.
void CheckOnTheWire(const rcon::Packet& reply) {
    rcon::PacketDecoder client;
    client.Feed(rcon::Encode(reply));
    const auto read = client.Next();
    Require(read && *read == reply && client.Pending() == 0, "a reply that does not decode");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    Connection connection((data[0] & 1) != 0 ? "" : "secret");
    const std::string& password = connection.context.password;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t read = 1 + (data[0] >> 1) % 24;

    gameserver::RconSession session(connection.context, "127.0.0.1:50000");
    rcon::PacketDecoder decoder(rcon::kMaxPacketSize);
    bool loggedIn = false;
    std::size_t requests = 0;
    std::size_t commands = 0;
    bool closed = false;
    for (std::size_t at = 0; at < stream.size() && !closed; at += read) {
        decoder.Feed(stream.substr(at, read));
        try {
            while (!closed) {
                const auto request = decoder.Next();
                if (!request) {
                    break;
                }
                ++requests;
                const auto outcome = session.Respond(*request);
                if (request->type == rcon::kAuth) {
                    loggedIn = !password.empty() && request->body == password;
                    Require(outcome.replies.size() == 1 && !outcome.close,
                            "a login without one answer");
                    const auto& reply = outcome.replies[0];
                    Require(reply.type == rcon::kAuthResponse && reply.body.empty() &&
                                reply.id == (loggedIn ? request->id : rcon::kAuthFailedId),
                            "a login answered wrongly");
                } else if (request->type == rcon::kExecCommand && loggedIn) {
                    ++commands;
                    Require(!outcome.replies.empty() && !outcome.close,
                            "a command without an answer");
                    std::string answer;
                    for (std::size_t i = 0; i < outcome.replies.size(); ++i) {
                        const auto& reply = outcome.replies[i];
                        Require(reply.type == rcon::kResponseValue && reply.id == request->id,
                                "a command answered wrongly");
                        Require(i + 1 == outcome.replies.size()
                                    ? !reply.body.empty() && reply.body.size() <= rcon::kMaxBodySize
                                    : reply.body.size() == rcon::kMaxBodySize,
                                "an answer not cut into full packets and the rest");
                        answer += reply.body;
                    }
                    const auto output =
                        connection.context.console(request->body, request->id).output;
                    Require(answer == (output.empty() ? gameserver::kNoResponse : output),
                            "an answer that is not the console's output");
                    const auto recorded = connection.record.All();
                    Require(recorded.size() == commands && recorded.back().command == request->body,
                            "a command not recorded as received");
                } else if (request->type == rcon::kExecCommand) {
                    Require(outcome.close && outcome.replies.empty(),
                            "a command before login not refused");
                    closed = true;
                } else {
                    Require(!outcome.close && outcome.replies.empty(), "an ignored type answered");
                }
                for (const auto& reply : outcome.replies) {
                    CheckOnTheWire(reply);
                }
            }
        } catch (const rcon::Error& e) {
            Require(e.Kind() == rcon::ErrorKind::Protocol, "a decoding error of another kind");
            break;
        }
    }
    Require(connection.record.All().size() == commands, "a command recorded without a login");
    const std::string lines = connection.log.str();
    Require(static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')) == requests,
            "not one log line per request");
    return 0;
}
