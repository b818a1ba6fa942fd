#include "RconListener.h"

namespace gameserver {
namespace {

// How often the accept thread looks at the stop flag (see RconConnection.cpp).
constexpr std::chrono::milliseconds kAcceptTick{50};

}  // namespace

RconListener::RconListener(RconListenerOptions options)
    : options_(std::move(options)), record_(std::make_unique<RconRecord>(options_.recordFile)) {
    if (!options_.log) {
        options_.log = std::make_shared<spdlog::logger>("RCON");  // one without sinks
    }
    context_ = {options_.password, options_.console, record_.get(), options_.log};
}

RconListener::~RconListener() {
    Stop();
}

void RconListener::Start() {
    std::lock_guard lock(lifecycle_);
    if (acceptor_.joinable()) {
        return;
    }
    socket_ = rcon::net::Listen(options_.address, options_.port);
    port_ = rcon::net::LocalPort(socket_);
    stopping_ = false;
    acceptor_ = std::thread([this] { AcceptLoop(); });
    options_.log->info("Listening on {}:{}", options_.address, port_.load());
}

void RconListener::Stop() {
    std::lock_guard lock(lifecycle_);
    if (!acceptor_.joinable()) {
        return;
    }
    stopping_ = true;
    acceptor_.join();
    for (auto& worker : workers_) {
        worker.thread.join();
    }
    workers_.clear();
    socket_.Close();
}

void RconListener::AcceptLoop() {
    while (!stopping_) {
        auto connection = rcon::net::Accept(socket_, rcon::net::Clock::now() + kAcceptTick);
        JoinFinishedWorkers();
        if (!connection) {
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([this, done, c = std::move(*connection)]() mutable {
                                try {
                                    ServeRconConnection(std::move(c), context_, stopping_);
                                } catch (const std::exception& e) {
                                    context_.log->error("Connection failed: {}", e.what());
                                }
                                *done = true;
                            }),
                            done});
    }
}

void RconListener::JoinFinishedWorkers() {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (*it->done) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace gameserver
