#include "rcon/Packet.h"

#include "rcon/Error.h"

namespace rcon {
namespace {

void AppendInt32(std::string& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((bits >> shift) & 0xFFu));
    }
}

std::int32_t ReadInt32(const std::string& in, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::string Encode(const Packet& packet) {
    std::string out;
    out.reserve(4 + kMinPacketSize + packet.body.size());
    AppendInt32(out, static_cast<std::int32_t>(kMinPacketSize + packet.body.size()));
    AppendInt32(out, packet.id);
    AppendInt32(out, packet.type);
    out.append(packet.body);
    out.append(2, '\0');
    return out;
}

std::string TooLongForPacket(const std::string& what, std::size_t size) {
    return what + " is " + std::to_string(size) + " bytes; one packet holds at most " +
           std::to_string(kMaxBodySize);
}

std::optional<Packet> PacketDecoder::Next() {
    if (buffer_.size() < 4) {
        return std::nullopt;
    }
    const std::int32_t size = ReadInt32(buffer_, 0);
    if (size < static_cast<std::int32_t>(kMinPacketSize) ||
        static_cast<std::size_t>(size) > maxPacketSize_) {
        throw Error(ErrorKind::Protocol, "protocol error: packet size " + std::to_string(size) +
                                             " is outside 10.." + std::to_string(maxPacketSize_));
    }
    const std::size_t total = 4 + static_cast<std::size_t>(size);
    if (buffer_.size() < total) {
        return std::nullopt;
    }
    if (buffer_[total - 2] != '\0' || buffer_[total - 1] != '\0') {
        throw Error(ErrorKind::Protocol, "protocol error: packet does not end with two NUL bytes");
    }
    Packet packet{ReadInt32(buffer_, 4), ReadInt32(buffer_, 8), buffer_.substr(12, total - 14)};
    buffer_.erase(0, total);
    return packet;
}

}  // namespace rcon
