#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>

#include "platform/ClientEnv.h"

extern char** environ;

namespace quorvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Blocked signals and ignored dispositions are inherited through exec; the client gets the
// defaults, and /dev/null for its standard streams, as a hidden window would.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;

    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        for (int fd = 0; fd <= 2; ++fd) {
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null",
                                             fd == 0 ? O_RDONLY : O_WRONLY, 0);
        }
        posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&attributes, &none);
        sigset_t defaults;
        sigfillset(&defaults);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnSetup() {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

ClientExit NotStarted(std::string reason) {
    return {ClientExit::Kind::NotStarted, 0, std::move(reason)};
}

// What execvp would run for `program`, searched in PATH when it names no folder; empty with
// `error` set when there is none.
std::string Resolve(const std::string& program, int& error) {
    error = ENOENT;
    const auto runnable = [&](const std::string& path) {
        if (access(path.c_str(), X_OK) == 0) {
            return true;
        }
        if (errno != ENOENT) {
            error = errno;
        }
        return false;
    };
    if (program.find('/') != std::string::npos) {
        return runnable(program) ? program : std::string();
    }
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/bin:/usr/bin";
    while (true) {
        const auto end = folders.find(':');
        std::string folder(folders.substr(0, end));
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (runnable(candidate)) {
            return candidate;
        }
        if (end == std::string_view::npos) {
            return {};
        }
        folders.remove_prefix(end + 1);
    }
}

// util-linux's setpriv, which starts each client: see setpriv_.
std::string FindSetpriv() {
    int error = 0;
    return Resolve("setpriv", error);
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
    // The client is started by setpriv, which asks the kernel to kill it once the thread that
    // started it is gone (PR_SET_PDEATHSIG), then becomes it: the server's exit ends every
    // thread, Plugin_Unload or not, so no client outlives the server. posix_spawn cannot ask
    // for that itself, and a fork or vfork of a large server (a sanitizer turns vfork into fork)
    // would copy it for every client. Without setpriv the client is started directly. A member,
    // not a static: the exit's destructors run while delivery threads may still start clients.
    const std::string setpriv_ = FindSetpriv();
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
    for (const auto& argument : arguments) {
        if (argument.find('\0') != std::string::npos) {
            return NotStarted("an argument holds a NUL byte");
        }
    }
    int error = 0;
    const std::string client = Resolve(arguments[0], error);
    if (client.empty()) {
        return NotStarted((error == ENOENT ? "client not found: " : "client not started: ") +
                          arguments[0] +
                          (error == ENOENT ? "" : ": " + std::string(std::strerror(error))));
    }
    std::vector<std::string> owned;
    if (!setpriv_.empty()) {
        owned = {setpriv_, "--pdeathsig", "KILL", "--"};
    }
    owned.push_back(client);
    owned.insert(owned.end(), arguments.begin() + 1, arguments.end());
    std::vector<char*> argv;
    for (auto& argument : owned) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    {
        std::lock_guard lock(mutex_);
        if (ending_) {
            return {ClientExit::Kind::Ended, 0, {}};
        }
    }
    const SpawnSetup setup;
    pid_t pid = 0;
    // Not under the lock: clients of one event start side by side.
    if (const int spawnError =
            posix_spawn(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ)) {
        return NotStarted("client not started: " + arguments[0] + ": " + std::strerror(spawnError));
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
