// Packets on the wire, byte for byte, and the decoder's cut of a byte stream.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rcon/Error.h"
#include "rcon/Packet.h"

namespace {

using namespace std::string_literals;
using rcon::Packet;

TEST(PacketTest, EncodesLittleEndianWithTwoNuls) {
    struct Case {
        Packet packet;
        std::string bytes;
    };
    const Case cases[] = {
        {{1, rcon::kAuth, "secret"}, "\x10\0\0\0\x01\0\0\0\x03\0\0\0secret\0\0"s},
        {{-1, rcon::kAuthResponse, ""}, "\x0A\0\0\0\xFF\xFF\xFF\xFF\x02\0\0\0\0\0"s},
        {{0x01020304, rcon::kResponseValue, "a\nb"}, "\x0D\0\0\0\x04\x03\x02\x01\0\0\0\0a\nb\0\0"s},
        {{7, rcon::kExecCommand, std::string(300, 'x')},
         "\x36\x01\0\0\x07\0\0\0\x02\0\0\0"s + std::string(300, 'x') + "\0\0"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rcon::Encode(c.packet), c.bytes) << c.packet.body;
    }
}

TEST(PacketTest, DecodesWhateverPiecesTheBytesComeIn) {
    const std::vector<Packet> packets = {
        {1, rcon::kResponseValue, ""},
        {1, rcon::kAuthResponse, ""},
        {2, rcon::kResponseValue, std::string(rcon::kMaxBodySize, 'r')},
        {3, rcon::kResponseValue, "Server received, But no response!! \n "},
    };
    std::string stream;
    for (const auto& p : packets) {
        stream += rcon::Encode(p);
    }
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{3}, std::size_t{13}, stream.size()}) {
        rcon::PacketDecoder decoder;
        std::vector<Packet> decoded;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            decoder.Feed(std::string_view(stream).substr(at, piece));
            while (auto p = decoder.Next()) {
                decoded.push_back(*p);
            }
        }
        EXPECT_EQ(decoded, packets) << "pieces of " << piece;
        EXPECT_EQ(decoder.Pending(), 0u);
    }
}

TEST(PacketTest, RefusesWhatIsNotAPacket) {
    struct Case {
        std::string bytes;
        std::size_t limit;
        std::string error;
    };
    const Case cases[] = {
        {"\x09\0\0\0"s, rcon::kMaxIncomingPacketSize,
         "protocol error: packet size 9 is outside 10..1048576"},
        {"\xFF\xFF\xFF\xFF"s, rcon::kMaxIncomingPacketSize,
         "protocol error: packet size -1 is outside 10..1048576"},
        {"HTTP/1.1 400 Bad Request\r\n", rcon::kMaxIncomingPacketSize,
         "protocol error: packet size 1347703880 is outside 10..1048576"},
        {rcon::Encode({1, 2, std::string(4087, 'x')}), rcon::kMaxPacketSize,
         "protocol error: packet size 4097 is outside 10..4096"},
        {"\x0A\0\0\0\x01\0\0\0\0\0\0\0x\0"s, rcon::kMaxIncomingPacketSize,
         "protocol error: packet does not end with two NUL bytes"},
    };
    for (const auto& c : cases) {
        rcon::PacketDecoder decoder(c.limit);
        decoder.Feed(c.bytes);
        try {
            decoder.Next();
            ADD_FAILURE() << "accepted " << c.error;
        } catch (const rcon::Error& e) {
            EXPECT_EQ(e.what(), c.error);
            EXPECT_EQ(e.Kind(), rcon::ErrorKind::Protocol);
        }
    }
}

}  // namespace
