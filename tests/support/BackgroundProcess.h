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

#include <sys/types.h>

namespace testing_support {

class BackgroundProcess {
  public:
    BackgroundProcess(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments,
                      const std::filesystem::path& workingDir);
    ~BackgroundProcess();  // kills it if it still runs
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // The groups (0: the whole match) of the first match of `pattern` in a line of output,
    // waiting up to `timeout` for it.
    std::optional<std::vector<std::string>> WaitForLine(const std::regex& pattern,
                                                        std::chrono::milliseconds timeout);
    // Its exit code once it has ended (-1 for a signal), waiting up to `timeout`; nothing
    // when it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL past `grace`; its exit code, -1 when it did not exit by itself.
    int Stop(std::chrono::milliseconds grace = std::chrono::seconds(30));
    void Kill();
    std::string Output();

  private:
    void Reaped(int status);

    pid_t pid_ = -1;
    int output_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::string text_;
    std::optional<int> exitCode_;
};

}  // namespace testing_support
