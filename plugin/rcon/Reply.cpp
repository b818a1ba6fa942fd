#include "rcon/Reply.h"

#include "rcon/Error.h"

namespace rcon {

bool LoginReply::Take(const Packet& packet) const {
    if (packet.type == kResponseValue && packet.body.empty() &&
        (packet.id == id_ || packet.id == kAuthFailedId)) {
        return false;  // the empty RESPONSE_VALUE that Source servers send first
    }
    if (packet.type == kAuthResponse && packet.id == kAuthFailedId) {
        throw Error(ErrorKind::Authentication,
                    "authentication failed: the server refused the password");
    }
    if (packet.type != kAuthResponse || packet.id != id_) {
        throw Error(ErrorKind::Protocol, UnexpectedPacket(packet, awaiting_));
    }
    return true;
}

bool CommandReply::Take(const Packet& packet) {
    if (packet.type != kResponseValue || packet.id != id_) {
        throw Error(ErrorKind::Protocol, UnexpectedPacket(packet, awaiting_));
    }
    if (packet.body.size() > limit_ - text_.size()) {
        throw Error(ErrorKind::Protocol, "protocol error: " + awaiting_ + " is longer than " +
                                             std::to_string(limit_) + " bytes");
    }
    text_ += packet.body;
    return packet.body.size() != kMaxBodySize;
}

std::string UnexpectedPacket(const Packet& packet, const std::string& awaiting) {
    return "protocol error: unexpected packet (id " + std::to_string(packet.id) + ", type " +
           std::to_string(packet.type) + ") instead of " + awaiting;
}

}  // namespace rcon
