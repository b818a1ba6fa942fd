#pragma once
// A Windows program under Wine in the background, its output collected as it comes. A test
// waits for what it expects to see rather than for a fixed time, and stops a game server the
// way an admin does at its console: Ctrl-C (Wine turns SIGINT into CTRL_C_EVENT; SIGTERM ends
// a Wine process at once, without detaching its DLLs).

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "BackgroundProcess.h"
#include "Process.h"

namespace wine_testing {

class WineProcess {
  public:
    // Wine builds the Windows command line from `arguments` with its own quoting.
    WineProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                const std::filesystem::path& workingDir);

    // True once `text` has been written `count` times; false when `patience` runs out or the
    // process ends first.
    bool WaitForOutput(const std::string& text, std::size_t count = 1,
                       std::chrono::milliseconds patience = std::chrono::seconds(60));
    // Waits for the end; kills the process when `patience` runs out (timedOut set).
    testing_support::ProcessResult Wait(
        std::chrono::milliseconds patience = std::chrono::seconds(60));
    // Ctrl-C, then Wait.
    testing_support::ProcessResult Stop(
        std::chrono::milliseconds patience = std::chrono::seconds(30));
    // What the process wrote so far, standard output and error interleaved, lines ending in LF.
    std::string Output();

  private:
    testing_support::BackgroundProcess process_;
};

}  // namespace wine_testing
