#pragma once
// A program that runs beside a test, e.g. a server: its output (stdout and stderr) is
// collected as it comes, and it is stopped when the test is done with it.

#include <chrono>
#include <filesystem>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/types.h>

namespace testing_support {

class BackgroundProcess {
  public:
    // `stopSignal` is what Stop sends first: SIGTERM, or SIGINT for a program that treats only
    // Ctrl-C as a request to shut down cleanly (a Windows program under Wine).
    BackgroundProcess(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments,
                      const std::filesystem::path& workingDir, int stopSignal = SIGTERM);
    ~BackgroundProcess();  // kills it if it still runs
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // The groups (0: the whole match) of the first match of `pattern` in a line of output,
    // waiting up to `timeout` for it.
    std::optional<std::vector<std::string>> WaitForLine(const std::regex& pattern,
                                                        std::chrono::milliseconds timeout);
    // True once `text` has been written `count` times; false when `timeout` runs out or the
    // program ends first.
    bool WaitForOutput(const std::string& text, std::size_t count,
                       std::chrono::milliseconds timeout);
    // Its exit code once it has ended (-1 for a signal), waiting up to `timeout`; nothing
    // when it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // The stop signal, then SIGKILL past `grace`; its exit code, -1 when it did not exit by
    // itself.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(30));
    void Kill();
    std::string Output();

  private:
    void Read();
    void Reaped(int status);
    bool Running() const;

    pid_t pid_ = -1;
    int output_ = -1;
    int stopSignal_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::string text_;
    bool ended_ = false;  // reaped: the reader stops once the pipe falls silent
    std::optional<int> exitCode_;
};

}  // namespace testing_support
