#include "notify/BuiltinSender.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "notify/RconReport.h"
#include "notify/RconSender.h"
#include "rcon/Error.h"
#include "rcon/Exchange.h"

namespace quorvane {
namespace {

using platform::ClientExit;
using Status = platform::Sockets::Status;

BuiltinOutcome Failed(std::string reason) {
    return {{ClientExit::Kind::Failed, 0, std::move(reason)}, {}};
}

// A socket call that did not get through, where the exchange stands.
BuiltinOutcome Lost(Status status, rcon::Exchange& exchange, std::chrono::milliseconds deadline) {
    const std::string seconds = SecondsText(deadline) + " s";
    // The server answered the command: it has it, whatever became of the rest of an answer
    // that filled whole packets.
    if (status != Status::Ended && exchange.End()) {
        return {{ClientExit::Kind::Exited, 0, {}}, exchange.Reply()};
    }
    switch (status) {
        case Status::Ended:
            return {{ClientExit::Kind::Ended, 0, {}}, {}};
        case Status::TimedOut:
            if (exchange.At() == rcon::Exchange::Stage::Login) {
                return Failed("no answer in " + seconds + " (at authentication)");
            }
            return Failed("no answer in " + seconds + " (after the command)");
        default:
            return Failed("connection closed by the server");
    }
}

class Builtin final : public RconSender {
  public:
    ClientExit Send(const RconJob& job, const RconTarget& target,
                    const std::string& text) override {
        return SendBuiltin(sockets_, target, text, job.Deadline).exit;
    }
    ClientExit SendForAnswer(const RconJob& job, const RconTarget& target, const std::string& text,
                             std::string& answer) override {
        auto outcome = SendBuiltin(sockets_, target, text, job.Deadline);
        answer = std::move(outcome.answer);
        return outcome.exit;
    }
    void EndAll() override { sockets_.EndAll(); }

  private:
    platform::Sockets sockets_;
};

}  // namespace

std::unique_ptr<RconSender> BuiltinSender() {
    return std::make_unique<Builtin>();
}

BuiltinOutcome SendBuiltin(platform::Sockets& sockets, const RconTarget& target,
                           const std::string& text, std::chrono::milliseconds deadline) {
    const auto until = platform::Sockets::Clock::now() + deadline;
    // A packet's body ends at a NUL: the server would take less than was meant.
    if (target.RconPassword.find('\0') != std::string::npos) {
        return Failed("the password holds a NUL byte");
    }
    if (text.find('\0') != std::string::npos) {
        return Failed("the text holds a NUL byte");
    }
    std::optional<rcon::Exchange> exchange;
    try {
        exchange.emplace(target.RconPassword, text, kMaxRconAnswer);
    } catch (const rcon::Error& e) {
        return Failed(e.what());
    }
    if (target.RconIP.empty()) {
        return Failed("no connection: no address");
    }
    if (target.RconPort < 1 || target.RconPort > 65535) {
        return Failed("no connection: port " + std::to_string(target.RconPort) +
                      " is not from 1 to 65535");
    }

    platform::Sockets::Connection connection;
    std::string reason;
    switch (sockets.Connect(target.RconIP, target.RconPort, until, connection, reason)) {
        case Status::Done:
            break;
        case Status::Ended:
            return {{ClientExit::Kind::Ended, 0, {}}, {}};
        case Status::TimedOut:
            return Failed("no connection: none within " + SecondsText(deadline) + " s");
        default:
            return Failed("no connection: " + reason);
    }
    std::string send = exchange->Login();
    std::string received;
    for (;;) {
        if (!send.empty()) {
            if (const auto sent = sockets.Send(connection, send, until); sent != Status::Done) {
                return Lost(sent, *exchange, deadline);
            }
        }
        received.clear();
        // An answer that ended on a full packet may be whole: silence ends it.
        const auto wait =
            exchange->MayEnd()
                ? (std::min)(until, platform::Sockets::Clock::now() + rcon::kQuietEndsReply)
                : until;
        if (const auto got = sockets.Receive(connection, received, wait); got != Status::Done) {
            return Lost(got, *exchange, deadline);
        }
        try {
            send = exchange->Feed(received);
        } catch (const rcon::Error& e) {
            return Failed(e.Kind() == rcon::ErrorKind::Authentication ? "wrong password"
                                                                      : e.what());
        }
        if (exchange->At() == rcon::Exchange::Stage::Done) {
            return {{ClientExit::Kind::Exited, 0, {}}, exchange->Reply()};
        }
    }
}

}  // namespace quorvane
