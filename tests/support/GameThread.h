#pragma once
// The game thread for in-process tests: a thread that ticks the host as the game stand-in's
// main loop does (timers, request completions), and runs what a test hands it between ticks.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace testing_support {

class GameThread {
  public:
    GameThread();
    ~GameThread();
    GameThread(const GameThread&) = delete;
    GameThread& operator=(const GameThread&) = delete;

    // Runs `work` on the game thread between two ticks and waits for it; what it throws is
    // thrown here.
    void Run(const std::function<void()>& work);
    std::thread::id Id() const { return thread_.get_id(); }

  private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> work_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace testing_support
