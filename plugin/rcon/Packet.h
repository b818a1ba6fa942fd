#pragma once
// Source RCON packets: size (int32, not counting itself), id (int32), type (int32), the body
// bytes and two NUL bytes, all little-endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rcon {

// Packet types. EXECCOMMAND and AUTH_RESPONSE share the value 2; the direction tells them apart.
inline constexpr std::int32_t kResponseValue = 0;
inline constexpr std::int32_t kExecCommand = 2;
inline constexpr std::int32_t kAuthResponse = 2;
inline constexpr std::int32_t kAuth = 3;
// The id of the AUTH_RESPONSE that refuses a password.
inline constexpr std::int32_t kAuthFailedId = -1;

// Valve's Source RCON documentation: the size field is at least 10 (id, type and the two
// NULs) and at most 4096, so one packet carries at most 4086 body bytes; longer replies
// come as several packets.
inline constexpr std::size_t kMinPacketSize = 10;
inline constexpr std::size_t kMaxPacketSize = 4096;
inline constexpr std::size_t kMaxBodySize = kMaxPacketSize - kMinPacketSize;
// What we read is allowed to be larger than what we send: a server that does not split its
// replies is still understood. Far beyond that the bytes are not RCON (an HTTP server
// answering "HTTP" reads as a size of 1.3 GB).
inline constexpr std::size_t kMaxIncomingPacketSize = 1 << 20;

struct Packet {
    std::int32_t id = 0;
    std::int32_t type = 0;
    std::string body;

    bool operator==(const Packet&) const = default;
};

// The packet's bytes on the wire. The body is not checked against kMaxBodySize: callers that
// must keep the protocol's limit check FitsInPacket first.
std::string Encode(const Packet& packet);

inline bool FitsInPacket(std::string_view body) {
    return body.size() <= kMaxBodySize;
}
// "WHAT is N bytes; one packet holds at most 4086": the refusal of a text that does not fit.
std::string TooLongForPacket(const std::string& what, std::size_t size);

// Cuts a byte stream into packets, whatever TCP segments the bytes came in.
class PacketDecoder {
  public:
    explicit PacketDecoder(std::size_t maxPacketSize = kMaxIncomingPacketSize)
        : maxPacketSize_(maxPacketSize) {}

    void Feed(std::string_view bytes) { buffer_.append(bytes); }
    // The next whole packet, or nullopt until more bytes arrive. Throws rcon::Error
    // (Protocol) for a size outside 10..maxPacketSize or a packet without its two NULs; the
    // size is checked as soon as its four bytes are in, so garbage fails at once.
    std::optional<Packet> Next();
    // Bytes of a packet not yet complete.
    std::size_t Pending() const { return buffer_.size(); }

  private:
    std::string buffer_;
    std::size_t maxPacketSize_;
};

}  // namespace rcon
