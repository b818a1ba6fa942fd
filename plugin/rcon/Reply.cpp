#include "rcon/Reply.h"

#include "rcon/Error.h"

namespace rcon {

bool LoginReply::Take(const Packet& packet) const {
    if (packet.type == kAuthResponse && packet.id == kAuthFailedId) {
        throw Error(ErrorKind::Authentication,
                    "authentication failed: the server refused the password");
    }
    if (packet.id != id_ || (packet.type == kResponseValue && packet.body.empty())) {
        return false;  // answers nothing, or the empty RESPONSE_VALUE Source servers send first
    }
    if (packet.type != kAuthResponse) {
        throw Error(ErrorKind::Protocol, UnexpectedPacket(packet, awaiting_));
    }
    return true;
}

bool CommandReply::Take(const Packet& packet) {
    if (packet.id != id_) {
        return false;
    }
    if (packet.type != kResponseValue) {
        throw Error(ErrorKind::Protocol, UnexpectedPacket(packet, awaiting_));
    }
    if (packet.body.size() > limit_ - text_.size()) {
        throw Error(ErrorKind::Protocol, "protocol error: " + awaiting_ + " is longer than " +
                                             std::to_string(limit_) + " bytes");
    }
    text_ += packet.body;
    begun_ = true;
    return packet.body.size() != kMaxBodySize;
}

std::string UnexpectedPacket(const Packet& packet, const std::string& awaiting) {
    return "protocol error: unexpected packet (id " + std::to_string(packet.id) + ", type " +
           std::to_string(packet.type) + ") instead of " + awaiting;
}

}  // namespace rcon
