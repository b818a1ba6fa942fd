#pragma once
// Runs a program to completion and collects what it printed.

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessResult {
    int exitCode = -1;  // -1 when it was killed or died of a signal
    bool timedOut = false;
    std::string output;  // stdout and stderr, interleaved as written
};

ProcessResult RunProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDir,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace testing_support
