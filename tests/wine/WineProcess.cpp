#include "WineProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "WineEnvironment.h"

extern char** environ;

namespace wine_testing {
namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

WineProcess::WineProcess(const std::filesystem::path& program,
                         const std::vector<std::string>& arguments,
                         const std::filesystem::path& workingDir) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> argvStrings{WineLoader().string(), program.string()};
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
    // Whatever this process blocks or ignores, Wine gets SIGINT as it would at a terminal.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    const int error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (error != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + argvStrings[0]);
    }
    reader_ = std::thread([this, fd = pipeFds[0]] { Read(fd); });
}

WineProcess::~WineProcess() {
    bool ended = false;
    {
        std::lock_guard lock(mutex_);
        ended = ended_;
    }
    if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    if (reader_.joinable()) {
        reader_.join();
    }
}

// Until the end of the output, or until the process has ended and nothing more comes.
void WineProcess::Read(int fd) {
    char buffer[4096];
    for (;;) {
        pollfd poller{fd, POLLIN, 0};
        if (poll(&poller, 1, 200) <= 0) {
            std::lock_guard lock(mutex_);
            if (ended_) {
                break;
            }
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        std::lock_guard lock(mutex_);
        output_.append(buffer, static_cast<std::size_t>(n));
        changed_.notify_all();
    }
    close(fd);
}

bool WineProcess::WaitForOutput(const std::string& text, std::size_t count,
                                std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    std::unique_lock lock(mutex_);
    while (Occurrences(output_, text) < count) {
        // Only Stop reaps the process; this looks without reaping.
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid != 0) {
            return Occurrences(output_, text) >= count;
        }
        if (changed_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() +
                                                             std::chrono::milliseconds(200))) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= deadline) {
            return Occurrences(output_, text) >= count;
        }
    }
    return true;
}

testing_support::ProcessResult WineProcess::Stop(std::chrono::milliseconds patience) {
    kill(pid_, SIGINT);
    return Wait(patience);
}

testing_support::ProcessResult WineProcess::Wait(std::chrono::milliseconds patience) {
    bool ended = false;
    {
        std::lock_guard lock(mutex_);
        ended = ended_;
    }
    if (!ended) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        int status = 0;
        pid_t reaped = 0;
        while ((reaped = waitpid(pid_, &status, WNOHANG)) == 0 || (reaped < 0 && errno == EINTR)) {
            if (std::chrono::steady_clock::now() >= deadline) {
                timedOut_ = true;
                kill(pid_, SIGKILL);
                reaped = waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        exitCode_ = reaped == pid_ && WIFEXITED(status) && !timedOut_ ? WEXITSTATUS(status) : -1;
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    testing_support::ProcessResult result;
    result.exitCode = exitCode_;
    result.timedOut = timedOut_;
    result.output = Output();
    return result;
}

std::string WineProcess::Output() const {
    std::lock_guard lock(mutex_);
    // Windows programs end their lines with CR LF; the tests compare lines.
    std::string lines;
    for (std::size_t i = 0; i < output_.size(); ++i) {
        if (!(output_[i] == '\r' && i + 1 < output_.size() && output_[i + 1] == '\n')) {
            lines += output_[i];
        }
    }
    return lines;
}

}  // namespace wine_testing
