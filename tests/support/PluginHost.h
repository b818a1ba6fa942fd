#pragma once
// The real host stand-in started inside the test process over a throw-away server
// directory, with the game's allocator and string functions registered, a game thread, the
// plugin's log, and a sink that keeps every line.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "GameThread.h"
#include "ServerDir.h"

namespace testing_support {

class CaptureSink;

class PluginHost {
  public:
    struct Settings {
        double timeScale = 1.0;
        std::chrono::milliseconds httpTotalTimeout{std::chrono::seconds(30)};
        // One request at a time, in the order made.
        int httpThreads = 1;
        // The framework's setting: a game function the game lacks is null instead of the end
        // of the process.
        bool hooksDoNotThrow = false;
    };
    PluginHost() : PluginHost(Settings{}) {}
    explicit PluginHost(double timeScale) : PluginHost(Settings{timeScale}) {}
    explicit PluginHost(const Settings& settings);
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    ServerDir& Dir() { return dir_; }
    // Where the host runs its timers and request completions.
    GameThread& Game() { return *game_; }
    // The game's time jumps `gameSeconds` ahead and the due timers fire, on the game thread, as
    // at its tick (asahost::AdvanceTimers).
    void AdvanceTimers(int gameSeconds);
    // Lines written so far, "[Name][level] text", time stamps checked and removed.
    std::vector<std::string> Lines() const;
    // Only the plugin's lines.
    std::vector<std::string> PluginLines() const;
    void ClearLines();

  private:
    ServerDir dir_;
    std::shared_ptr<CaptureSink> sink_;
    std::unique_ptr<GameThread> game_;
};

}  // namespace testing_support
