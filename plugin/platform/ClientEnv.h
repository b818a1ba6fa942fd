#pragma once
// What the RCON delivery needs of the operating system: starting a client and waiting for
// it, ending every client at once, and threads. One interface, so that the delivery's rules
// (deadlines, failures, unloading) can be tested without processes; the system's own is one
// file per platform.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace quorvane::platform {

// How one run of the RCON client ended (the built-in client's too: Exited 0 when delivered).
struct ClientExit {
    enum class Kind {
        Exited,      // on its own; `code` is its exit code
        Signalled,   // killed by someone else; `code` is the signal (POSIX)
        NotStarted,  // `reason` says why
        TimedOut,    // ended at its deadline
        Ended,       // ended because the plugin unloads
        Error,       // an exception while it ran; `reason` is its text
        Failed,      // the built-in client gave up; `reason` says why, as a person would
    };
    Kind kind = Kind::Exited;
    int code = 0;
    std::string reason;
};

class ClientEnv {
  public:
    virtual ~ClientEnv() = default;

    // Starts the program `arguments[0]` with exactly `arguments` (program first), hidden and
    // never through a shell, and waits until it exits or `deadline` has passed; then it is
    // ended and reaped. No client outlives its deadline. Called from several threads at once.
    virtual ClientExit RunClient(const std::vector<std::string>& arguments,
                                 std::chrono::milliseconds deadline) = 0;
    // Ends every client that RunClient waits for, at once; from now on RunClient starts none
    // (Ended).
    virtual void EndClients() = 0;
    // Throws std::system_error (or std::bad_alloc) when no thread can be started. Tests
    // replace it to make a start fail.
    virtual std::unique_ptr<PluginThread> StartThread(std::function<void()> work) {
        return std::make_unique<PluginThread>(std::move(work));
    }
};

// Client processes and plugin threads of the operating system.
std::unique_ptr<ClientEnv> SystemClientEnv();

}  // namespace quorvane::platform
