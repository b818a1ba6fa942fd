#pragma once
// The real host started in the test process over a throw-away server directory, with its
// request service's time-outs and threads as a test needs them and a sink that keeps every
// log line.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace testing_support {
class GameThread;
class LineSink;
}  // namespace testing_support

namespace http_testing {

struct HostSettings {
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(5)};
    std::chrono::milliseconds totalTimeout{std::chrono::seconds(20)};
    int threads = 4;
    double timeScale = 1.0;
};

class TestHost {
  public:
    explicit TestHost(HostSettings settings = {});
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    const std::filesystem::path& Dir() const { return dir_; }
    // Where the host runs its timers and request completions; null once stopped.
    testing_support::GameThread& Game() { return *game_; }
    // Stops the game thread and the host (its request threads are joined); later calls do
    // nothing.
    void Stop();
    // Lines written so far, "[Name][level] text", without their time stamps.
    std::vector<std::string> Lines() const;

  private:
    std::filesystem::path dir_;
    std::shared_ptr<testing_support::LineSink> sink_;
    std::unique_ptr<testing_support::GameThread> game_;
    bool running_ = true;
};

}  // namespace http_testing
