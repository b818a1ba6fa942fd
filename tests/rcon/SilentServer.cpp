#include "SilentServer.h"

#include <chrono>

namespace rcon_testing {

SilentServer::SilentServer()
    : listener_(rcon::net::Listen("127.0.0.1", 0)), port_(rcon::net::LocalPort(listener_)) {
    thread_ = std::thread([this] {
        while (!stopping_) {
            auto accepted = rcon::net::Accept(
                listener_, rcon::net::Clock::now() + std::chrono::milliseconds(50));
            if (accepted) {
                std::lock_guard lock(mutex_);
                accepted_.push_back(std::move(accepted->socket));
            }
        }
    });
}

SilentServer::~SilentServer() {
    stopping_ = true;
    thread_.join();
}

int SilentServer::Connections() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(accepted_.size());
}

}  // namespace rcon_testing
