#pragma once
// A Windows program under Wine in the background, its output collected as it comes. A test
// waits for what it expects to see rather than for a fixed time, and stops a game server the
// way an admin does at its console: Ctrl-C (Wine turns SIGINT into CTRL_C_EVENT; SIGTERM, which
// testing_support::BackgroundProcess sends, ends a Wine process at once, without detaching
// its DLLs).
//
// The process's end, not the end of its output, ends a run: Wine's own background processes
// (winedevice.exe and the like) inherit the standard error of the program that started them
// and may keep the pipe open for as long as the Wine server runs.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Process.h"

namespace wine_testing {

class WineProcess {
  public:
    // Wine builds the Windows command line from `arguments` with its own quoting.
    WineProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& workingDir);
    // Kills the process if it still runs.
    ~WineProcess();
    WineProcess(const WineProcess&) = delete;
    WineProcess& operator=(const WineProcess&) = delete;

    // True once `text` has been written `count` times; false when `patience` runs out or the
    // process ends first.
    bool WaitForOutput(const std::string& text, std::size_t count = 1,
                       std::chrono::milliseconds patience = std::chrono::seconds(60));
    // Waits for the end; kills the process when `patience` runs out (timedOut set).
    testing_support::ProcessResult Wait(
        std::chrono::milliseconds patience = std::chrono::seconds(60));
    // Ctrl-C, then Wait. The plugin gives a stuck RCON worker 10 s when it unloads.
    testing_support::ProcessResult Stop(
        std::chrono::milliseconds patience = std::chrono::seconds(30));
    // What the process wrote so far, standard output and error interleaved, lines ending in LF.
    std::string Output() const;

  private:
    void Read(int fd);

    pid_t pid_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    bool ended_ = false;  // the process is reaped
    int exitCode_ = -1;
    bool timedOut_ = false;
    std::thread reader_;
};

}  // namespace wine_testing
