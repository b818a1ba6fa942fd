#pragma once
// Discord posts through the plugin's own HTTP client (WinHTTP, libcurl), which checks the
// server's certificate. They go out one at a time, in the order sent, on a thread of the
// plugin's, started at the first post. Their replies wait for the game thread, which collects
// them at the framework's timer passes: the framework's timers may be armed only on the game
// thread, so the thread arms none.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "notify/DiscordTransport.h"
#include "platform/Platform.h"

namespace quorvane {

class VerifiedTransport final : public DiscordTransport {
  public:
    // How the collecting timer gets back to this transport: through whatever owns it, so that
    // one firing after the owner is gone finds nothing.
    using Reenter = std::function<void(const std::function<void(VerifiedTransport&)>&)>;

    // A post with no complete answer within `timeout` has none.
    VerifiedTransport(Reenter reenter, std::chrono::milliseconds timeout);
    ~VerifiedTransport() override;  // ends the thread as Stop does, on any thread
    VerifiedTransport(const VerifiedTransport&) = delete;
    VerifiedTransport& operator=(const VerifiedTransport&) = delete;

    bool Send(const DiscordRequest& request, Done done) override;

    // For unloading, on the game thread: ends the post on the wire at once, drops the posts
    // waiting and every reply not handed over yet, drops the collecting timer and waits for the
    // thread, which has nothing left to wait for. No `done` is called afterwards; a later Send
    // starts afresh.
    void Stop();

  private:
    struct Shared;

    void Collect();
    void Arm();
    void EndThread();

    Reenter reenter_;
    std::chrono::milliseconds timeout_;
    std::shared_ptr<Shared> shared_;
    std::unique_ptr<platform::PluginThread> thread_;
    // On the game thread: the posts whose replies are not handed over yet, by id.
    std::map<std::uint64_t, Done> waiting_;
    std::uint64_t nextId_ = 1;
    bool armed_ = false;
};

}  // namespace quorvane
