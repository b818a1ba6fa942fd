#include "BackgroundProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& arguments,
                                     const std::filesystem::path& workingDir) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argvStrings{program.string()};
    argvStrings.insert(argvStrings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : argvStrings) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + program.string());
    }
    output_ = pipeFds[0];
    reader_ = std::thread([this] {
        char buffer[4096];
        ssize_t n;
        while ((n = read(output_, buffer, sizeof buffer)) > 0) {
            std::lock_guard lock(mutex_);
            text_.append(buffer, static_cast<std::size_t>(n));
        }
    });
}

BackgroundProcess::~BackgroundProcess() {
    Stop();
}

std::optional<std::vector<std::string>> BackgroundProcess::WaitForLine(
    const std::regex& pattern, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            std::istringstream lines(text_);
            for (std::string line; std::getline(lines, line);) {
                std::smatch match;
                if (std::regex_search(line, match, pattern)) {
                    return std::vector<std::string>(match.begin(), match.end());
                }
            }
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int BackgroundProcess::Stop() {
    if (!exitCode_ && pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (reader_.joinable()) {
            reader_.join();
        }
        close(output_);
    }
    return exitCode_.value_or(-1);
}

std::string BackgroundProcess::Output() {
    std::lock_guard lock(mutex_);
    return text_;
}

}  // namespace testing_support
