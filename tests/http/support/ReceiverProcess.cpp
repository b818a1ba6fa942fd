#include "ReceiverProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <stdexcept>

namespace http_testing {

ReceiverProcess::ReceiverProcess(const std::vector<std::string>& arguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> strings{WEBHOOK_RECEIVER_FILE};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    fd_ = fds[0];
}

ReceiverProcess::~ReceiverProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool ReceiverProcess::ReadSome(std::chrono::milliseconds timeout) {
    pollfd fd{fd_, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) {
        return true;
    }
    char buffer[4096];
    const ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
        return false;
    }
    output_.append(buffer, static_cast<std::size_t>(n));
    return true;
}

int ReceiverProcess::WaitForPort(std::chrono::milliseconds timeout) {
    static const std::regex listening(R"(Listening on http://127\.0\.0\.1:(\d+))");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::smatch match;
    while (!std::regex_search(output_, match, listening)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(left)) {
            return 0;
        }
    }
    return std::stoi(match[1]);
}

int ReceiverProcess::Terminate(std::chrono::milliseconds timeout) {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
    }
    return Wait(timeout);
}

int ReceiverProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // Its output ends when it does.
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return -1;
        }
        if (!ReadSome(left)) {
            break;
        }
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace http_testing
