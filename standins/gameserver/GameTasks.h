#pragma once
// Work that other threads hand to the game thread: RCON commands from the listener's
// connections, console lines from standard input. The game's loop runs them between ticks.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace gameserver {

class GameTasks {
  public:
    // From any thread but the game's: runs `task` on the game thread and returns its result;
    // nothing once the game loop has ended (Close).
    std::optional<std::string> Run(std::function<std::string()> task);
    // On the game thread: runs what is waiting.
    void RunPending();
    // The game loop has ended: waiting and later tasks get nothing.
    void Close();

  private:
    struct Task {
        std::function<std::string()> work;
        std::optional<std::string> result;
        bool done = false;
    };

    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<std::shared_ptr<Task>> waiting_;
    bool closed_ = false;
};

}  // namespace gameserver
