#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "platform/ClientEnv.h"

namespace quorvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Starts the client as a child that the kernel kills when the thread that started it ends,
// which the server's exit does to every thread, Plugin_Unload or not (PR_SET_PDEATHSIG: what
// posix_spawn cannot ask for). vfork, as posix_spawn does, so that a server of many gigabytes
// is not copied for it; between vfork and exec the child makes only system calls. It gets the
// default signal dispositions, an empty signal mask and /dev/null for its standard streams, as
// a hidden window would. A failed exec sends its errno through a pipe that the exec closes
// (a sanitizer may turn vfork into fork, so no memory is shared). That errno, else 0.
int SpawnTiedToThisThread(char* const argv[], pid_t& pid) {
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return errno;
    }
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    // No handler of the server's may run in the child before its dispositions are reset.
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t parent = getpid();
    pid = vfork();
    if (pid == 0) {
        for (int signal = 1; signal < NSIG; ++signal) {
            struct sigaction action {};
            if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_DFL &&
                signal != SIGKILL && signal != SIGSTOP) {
                action.sa_handler = SIG_DFL;
                action.sa_flags = 0;
                sigaction(signal, &action, nullptr);
            }
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127);  // the server is gone already
        }
        const int null = open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd) {
            dup2(null, fd);
        }
        // Every other descriptor of the server's, but the report's own end.
        const auto keep = static_cast<unsigned>(report[1]);
        for (const auto& [first, last] : {std::pair{3U, keep - 1}, std::pair{keep + 1, ~0U}}) {
            if (first <= last && syscall(SYS_close_range, first, last, 0U) != 0) {
                for (unsigned fd = first; fd <= last && fd < 65536; ++fd) {  // before Linux 5.9
                    close(static_cast<int>(fd));
                }
            }
        }
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execvp(argv[0], argv);
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    const int forkError = pid < 0 ? errno : 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    close(report[1]);
    int error = 0;
    if (forkError == 0) {
        while (read(report[0], &error, sizeof error) < 0 && errno == EINTR) {
        }
    }
    close(report[0]);
    if (forkError != 0) {
        return forkError;
    }
    if (error != 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return error;
}

ClientExit NotStarted(std::string reason) {
    return {ClientExit::Kind::NotStarted, 0, std::move(reason)};
}

bool HasExited(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Until the process has exited or the deadline has passed; false at the deadline. The
// process is not reaped, so that its pid cannot be reused while EndClients may signal it.
bool WaitUntil(pid_t pid, Clock::time_point deadline) {
#if defined(SYS_pidfd_open)
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd ready{pidfd, POLLIN, 0};
            const int result =
                poll(&ready, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (result > 0 || (result == 0 && left.count() <= 0)) {
                close(pidfd);
                return result > 0;
            }
            if (result < 0 && errno != EINTR) {
                break;  // polling as below
            }
        }
        close(pidfd);
    }
#endif
    // Kernels without pidfd: look every few milliseconds.
    while (!HasExited(pid)) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Client processes, and the ones being waited for, so that unloading can end them.
class PosixClientEnv final : public ClientEnv {
  public:
    ClientExit RunClient(const std::vector<std::string>& arguments,
                         std::chrono::milliseconds deadline) override;
    void EndClients() override;

  private:
    std::mutex mutex_;
    std::set<pid_t> pids_;
    bool ending_ = false;
};

ClientExit PosixClientEnv::RunClient(const std::vector<std::string>& arguments,
                                     std::chrono::milliseconds deadline) {
    const auto until = Clock::now() + deadline;
    if (arguments.empty() || arguments[0].empty()) {
        return NotStarted("no client path");
    }
    std::vector<std::string> owned = arguments;
    std::vector<char*> argv;
    for (auto& argument : owned) {
        if (argument.find('\0') != std::string::npos) {
            return NotStarted("an argument holds a NUL byte");
        }
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    {
        std::lock_guard lock(mutex_);
        if (ending_) {
            return {ClientExit::Kind::Ended, 0, {}};
        }
    }
    pid_t pid = 0;
    // Not under the lock: clients of one event start side by side.
    if (const int error = SpawnTiedToThisThread(argv.data(), pid)) {
        return NotStarted((error == ENOENT ? "client not found: " : "client not started: ") +
                          arguments[0] +
                          (error == ENOENT ? "" : ": " + std::string(std::strerror(error))));
    }
    {
        std::lock_guard lock(mutex_);
        pids_.insert(pid);
        if (ending_) {  // ended while it was starting
            kill(pid, SIGKILL);
        }
    }
    const bool timedOut = !WaitUntil(pid, until);
    if (timedOut) {
        kill(pid, SIGKILL);
    }
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    bool ended = false;
    {
        std::lock_guard lock(mutex_);
        pids_.erase(pid);
        ended = ending_;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        return {ClientExit::Kind::Exited, WEXITSTATUS(status), {}};
    }
    if (timedOut) {
        return {ClientExit::Kind::TimedOut, 0, {}};
    }
    if (ended) {
        return {ClientExit::Kind::Ended, 0, {}};
    }
    return {ClientExit::Kind::Signalled, WIFSIGNALED(status) ? WTERMSIG(status) : 0, {}};
}

void PosixClientEnv::EndClients() {
    std::lock_guard lock(mutex_);
    ending_ = true;
    for (const pid_t pid : pids_) {
        kill(pid, SIGKILL);
    }
}

}  // namespace

std::unique_ptr<ClientEnv> SystemClientEnv() {
    return std::make_unique<PosixClientEnv>();
}

}  // namespace quorvane::platform
