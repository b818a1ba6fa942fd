#include "rcon/Exchange.h"

#include "rcon/Error.h"

namespace rcon {
namespace {

constexpr std::int32_t kLoginId = 1;
constexpr std::int32_t kCommandId = 2;

}  // namespace

Exchange::Exchange(const std::string& password, const std::string& command, std::size_t replyLimit)
    : loginReply_(kLoginId, "the login reply"),
      reply_(kCommandId, "the reply to the command", replyLimit) {
    if (!FitsInPacket(password)) {
        throw Error(ErrorKind::TooLong, TooLongForPacket("the password", password.size()));
    }
    if (!FitsInPacket(command)) {
        throw Error(ErrorKind::TooLong, TooLongForPacket("the command", command.size()));
    }
    login_ = Encode({kLoginId, kAuth, password});
    command_ = Encode({kCommandId, kExecCommand, command});
}

std::string Exchange::Feed(std::string_view bytes) {
    std::string send;
    if (stage_ == Stage::Done) {
        return send;
    }
    decoder_.Feed(bytes);
    while (stage_ != Stage::Done) {
        const auto packet = decoder_.Next();
        if (!packet) {
            break;
        }
        if (stage_ == Stage::Login) {
            if (loginReply_.Take(*packet)) {
                stage_ = Stage::Reply;
                send = command_;
            }
        } else if (reply_.Take(*packet)) {
            stage_ = Stage::Done;
        }
    }
    return send;
}

bool Exchange::End() {
    if (MayEnd()) {
        stage_ = Stage::Done;
    }
    return stage_ == Stage::Done;
}

}  // namespace rcon
