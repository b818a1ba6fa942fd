#include "BackgroundProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "PipedChild.h"

namespace testing_support {

BackgroundProcess::BackgroundProcess(const std::filesystem::path& program,
                                     const std::vector<std::string>& arguments,
                                     const std::filesystem::path& workingDir, int stopSignal)
    : stopSignal_(stopSignal) {
    const auto child = standin::StartPiped(program, arguments, workingDir, false);
    pid_ = child.pid;
    output_ = child.output;
    reader_ = std::thread([this] { Read(); });
}

// Until the end of the output, or until the program has ended and nothing more comes: a
// program's own children (Wine's background processes) may hold the pipe open.
void BackgroundProcess::Read() {
    char buffer[4096];
    for (;;) {
        pollfd poller{output_, POLLIN, 0};
        if (poll(&poller, 1, 200) <= 0) {
            std::lock_guard lock(mutex_);
            if (ended_) {
                return;
            }
            continue;
        }
        const ssize_t n = read(output_, buffer, sizeof buffer);
        if (n <= 0) {
            return;
        }
        std::lock_guard lock(mutex_);
        text_.append(buffer, static_cast<std::size_t>(n));
    }
}

bool BackgroundProcess::Running() const {
    siginfo_t info{};
    return !exitCode_ &&
           !(waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             info.si_pid != 0);
}

bool BackgroundProcess::WaitForOutput(const std::string& text, std::size_t count,
                                      std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const bool running = Running();  // before looking, so that its last words count
        std::size_t seen = 0;
        {
            std::lock_guard lock(mutex_);
            for (auto at = text_.find(text); at != std::string::npos;
                 at = text_.find(text, at + 1)) {
                ++seen;
            }
        }
        if (seen >= count) {
            return true;
        }
        if (!running || std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
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
        kill(pid_, stopSignal_);
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
