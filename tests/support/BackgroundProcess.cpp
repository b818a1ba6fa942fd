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
    // Whatever this process blocks, the program starts with every signal deliverable.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
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
    Kill();
    if (reader_.joinable()) {
        reader_.join();
    }
    close(output_);
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

void BackgroundProcess::Reaped(int status) {
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // Everything it wrote is in once its end of the pipe is closed.
    if (reader_.joinable()) {
        reader_.join();
    }
}

std::optional<int> BackgroundProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exitCode_) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            Reaped(status);
        } else if (std::chrono::steady_clock::now() > deadline) {
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    return exitCode_;
}

int BackgroundProcess::Stop(std::chrono::milliseconds grace) {
    if (!exitCode_) {
        kill(pid_, SIGTERM);
        if (!Wait(grace)) {
            Kill();
        }
    }
    return *exitCode_;
}

void BackgroundProcess::Kill() {
    if (!exitCode_) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        Reaped(status);
        exitCode_ = -1;
    }
}

std::string BackgroundProcess::Output() {
    std::lock_guard lock(mutex_);
    return text_;
}

}  // namespace testing_support
