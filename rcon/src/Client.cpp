#include "rcon/Client.h"

#include <algorithm>

#include "rcon/Error.h"
#include "rcon/Reply.h"

namespace rcon {
namespace {

std::string Milliseconds(std::chrono::milliseconds timeout) {
    return std::to_string(timeout.count()) + " ms";
}

std::string Endpoint(const std::string& host, int port) {
    return (host.find(':') != std::string::npos ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

}  // namespace

Client::Client(const std::string& host, int port, std::chrono::milliseconds timeout)
    : timeout_(timeout) {
    try {
        socket_ = net::Connect(host, port, net::Clock::now() + timeout_);
    } catch (const Error& e) {
        if (e.Kind() != ErrorKind::Timeout) {
            throw;
        }
        throw Error(ErrorKind::Timeout, "timed out after " + Milliseconds(timeout_) +
                                            " connecting to " + Endpoint(host, port));
    }
}

void Client::Authenticate(std::string_view password) {
    const std::string awaiting = "the login reply";
    if (!FitsInPacket(password)) {
        throw Error(ErrorKind::TooLong, TooLongForPacket("the password", password.size()));
    }
    const auto deadline = net::Clock::now() + timeout_;
    const std::int32_t id = nextId_++;
    Send({id, kAuth, std::string(password)}, deadline, awaiting);
    const LoginReply reply(id, awaiting);
    while (!reply.Take(*Read(deadline, awaiting, false))) {
    }
}

std::string Client::Execute(std::string_view command) {
    const std::string awaiting = "the reply to command " + std::to_string(++commands_);
    if (!FitsInPacket(command)) {
        throw Error(ErrorKind::TooLong,
                    TooLongForPacket("command " + std::to_string(commands_), command.size()));
    }
    const auto deadline = net::Clock::now() + timeout_;
    const std::int32_t id = nextId_++;
    Send({id, kExecCommand, std::string(command)}, deadline, awaiting);
    CommandReply reply(id, awaiting);
    for (;;) {
        const auto packet = Read(deadline, awaiting, reply.Begun());
        if (!packet || reply.Take(*packet)) {
            return reply.Text();
        }
    }
}

std::optional<Packet> Client::Read(net::Clock::time_point deadline, const std::string& awaiting,
                                   bool mayEnd) {
    for (;;) {
        if (auto packet = decoder_.Next()) {
            return packet;
        }
        char buffer[8192];
        std::size_t received = 0;
        const auto until =
            mayEnd ? (std::min)(deadline, net::Clock::now() + kQuietEndsReply) : deadline;
        switch (net::Receive(socket_, buffer, sizeof buffer, until, received)) {
            case net::IoStatus::Done:
                decoder_.Feed({buffer, received});
                break;
            case net::IoStatus::Closed:
                if (mayEnd) {
                    return std::nullopt;
                }
                throw Error(ErrorKind::Connection,
                            "the server closed the connection before " + awaiting);
            case net::IoStatus::TimedOut:
                if (mayEnd) {
                    return std::nullopt;
                }
                throw Error(ErrorKind::Timeout, "timed out after " + Milliseconds(timeout_) +
                                                    " waiting for " + awaiting);
        }
    }
}

void Client::Send(const Packet& packet, net::Clock::time_point deadline,
                  const std::string& awaiting) {
    switch (net::SendAll(socket_, Encode(packet), deadline)) {
        case net::IoStatus::Done:
            return;
        case net::IoStatus::Closed:
            throw Error(ErrorKind::Connection,
                        "the server closed the connection before " + awaiting);
        case net::IoStatus::TimedOut:
            throw Error(ErrorKind::Timeout, "timed out after " + Milliseconds(timeout_) +
                                                " sending the request for " + awaiting);
    }
}

}  // namespace rcon
