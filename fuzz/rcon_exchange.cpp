// The plugin's built-in client reading a server's bytes for one message (rcon::Exchange):
// whatever the bytes and however they are cut into reads, the same outcome; the command is
// sent exactly once, right after the login was accepted, and nothing else ever; the answer
// never grows beyond its limit, nor changes once complete; where the bytes end, a reply that
// has begun is complete as it stands; a failure is a wrong password or a protocol error, never
// anything else.
// Input: one byte (how the stream is cut into reads), then the server's bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Check.h"
#include "rcon/Error.h"
#include "rcon/Exchange.h"

namespace {

using fuzzing::Require;

// Small, so that answers beyond it are found.
constexpr std::size_t kLimit = 10000;

struct Outcome {
    rcon::Exchange::Stage stage = rcon::Exchange::Stage::Login;
    std::string reply;
    std::optional<std::string> error;
    std::string sent;  // everything the exchange gave to send after the login
};

bool SameOutcome(const Outcome& a, const Outcome& b) {
    // A broken packet in the read that logs in keeps the command back; in a later read not.
    return a.stage == b.stage && a.reply == b.reply && a.error == b.error &&
           (a.error || a.sent == b.sent);
}

Outcome Run(std::string_view stream, const std::vector<std::size_t>& reads) {
    rcon::Exchange exchange("pw", "ServerChat hi", kLimit);
    Require(exchange.Login() == rcon::Encode({1, rcon::kAuth, "pw"}), "not the bundled login");
    Outcome out;
    std::size_t at = 0;
    for (std::size_t n = 0; at < stream.size(); ++n) {
        const std::size_t length = reads[n % reads.size()];
        const auto before = exchange.At();
        const std::string reply = exchange.Reply();
        try {
            const std::string send = exchange.Feed(stream.substr(at, length));
            Require(send.empty() || (before == rcon::Exchange::Stage::Login &&
                                     exchange.At() != rcon::Exchange::Stage::Login),
                    "something sent but the command after the login");
            out.sent += send;
        } catch (const rcon::Error& e) {
            Require(e.Kind() == rcon::ErrorKind::Protocol ||
                        (e.Kind() == rcon::ErrorKind::Authentication &&
                         before == rcon::Exchange::Stage::Login),
                    "a failure of another kind");
            out.error = e.what();
            break;
        }
        at += length;
        Require(exchange.Reply().size() <= kLimit, "an answer beyond its limit");
        Require(before != rcon::Exchange::Stage::Done || exchange.Reply() == reply,
                "a complete answer changed");
    }
    // The server falls silent or closes here: a reply that has begun is complete, unchanged.
    const auto before = exchange.At();
    const bool mayEnd = exchange.MayEnd();
    Require(!mayEnd || (before == rcon::Exchange::Stage::Reply && !exchange.Reply().empty()),
            "may end without a reply begun");
    const std::string reply = exchange.Reply();
    if (!out.error) {
        Require(exchange.End() == (mayEnd || before == rcon::Exchange::Stage::Done),
                "the end of the input decided otherwise than the reply's start");
        Require(exchange.Reply() == reply, "the end of the input changed the reply");
    }
    out.stage = exchange.At();
    out.reply = exchange.Reply();
    Require(out.sent.empty() || out.sent == rcon::Encode({2, rcon::kExecCommand, "ServerChat hi"}),
            "not exactly the bundled command, once");
    // Where the reply that logs in is followed by a broken packet, the command is not given.
    Require(out.error || out.sent.empty() == (out.stage == rcon::Exchange::Stage::Login),
            "logged in without the command, or the command without a login");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::size_t> reads;
    for (unsigned pattern = data[0]; reads.empty() || pattern != 0; pattern >>= 2) {
        reads.push_back(1 + (pattern & 3) * 7);  // 1, 8, 15 or 22 bytes
    }
    const Outcome whole = Run(stream, {stream.size() + 1});
    const Outcome pieces = Run(stream, reads);
    Require(SameOutcome(pieces, whole), "the cut of the stream into reads changed the outcome");
    return 0;
}
