// The Source RCON decoder as the client (replies up to 1 MiB) and the listener (requests up
// to 4096 bytes) use it: whatever the bytes and however they are cut into reads, the same
// packets come out, each one exactly the bytes it was cut from, or a protocol error.
// Input: one byte (bit 0: the listener's limit; the others: how the stream is cut into
// reads), then the stream.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Check.h"
#include "rcon/Error.h"
#include "rcon/Packet.h"

namespace {

using fuzzing::Require;

struct Decoded {
    std::vector<rcon::Packet> packets;
    std::optional<std::string> error;
    std::size_t pending = 0;
};

// Feeds `stream` in reads of the given sizes (cycled), taking every whole packet after each.
Decoded Decode(std::string_view stream, std::size_t limit, const std::vector<std::size_t>& reads) {
    rcon::PacketDecoder decoder(limit);
    Decoded out;
    std::size_t at = 0;
    for (std::size_t n = 0; at < stream.size(); ++n) {
        const std::size_t length = reads[n % reads.size()];
        decoder.Feed(stream.substr(at, length));
        at += length;
        try {
            while (auto packet = decoder.Next()) {
                Require(packet->body.size() + rcon::kMinPacketSize <= limit,
                        "a packet above the limit");
                out.packets.push_back(std::move(*packet));
            }
        } catch (const rcon::Error& e) {
            Require(e.Kind() == rcon::ErrorKind::Protocol, "a decoding error of another kind");
            out.error = e.what();
            return out;
        }
    }
    out.pending = decoder.Pending();
    return out;
}

std::int32_t SizeField(std::string_view bytes) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t limit =
        (data[0] & 1) != 0 ? rcon::kMaxPacketSize : rcon::kMaxIncomingPacketSize;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Decoded whole = Decode(stream, limit, {stream.size() + 1});
    std::vector<std::size_t> reads;
    for (unsigned pattern = data[0] >> 1; reads.empty() || pattern != 0; pattern >>= 2) {
        reads.push_back(1 + (pattern & 3) * 5);  // 1, 6, 11 or 16 bytes
    }
    const Decoded pieces = Decode(stream, limit, reads);
    Require(pieces.packets == whole.packets && pieces.error == whole.error,
            "the cut of the stream into reads changed what was decoded");

    std::string consumed;
    for (const auto& packet : whole.packets) {
        consumed += rcon::Encode(packet);
    }
    Require(stream.substr(0, consumed.size()) == consumed,
            "a packet is not the bytes it was decoded from");
    if (!whole.error) {
        Require(whole.pending == stream.size() - consumed.size(), "bytes lost or invented");
        // Nothing is held back that makes a whole packet already.
        const std::string_view rest = stream.substr(consumed.size());
        Require(rest.size() < 4 || rest.size() < 4 + static_cast<std::size_t>(SizeField(rest)),
                "a whole packet left pending");
    }
    return 0;
}
