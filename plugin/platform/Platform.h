#pragma once
// The plugin's few calls into the operating system; one implementation per platform.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvane::platform {

// The process's command-line arguments, program path first, as UTF-16 code units. Empty
// when the command line cannot be split.
std::vector<std::wstring> CommandLineArguments();

// Full path of the plugin's own module file, as UTF-16 code units.
std::wstring OwnModulePath();

// How one run of the RCON client ended.
struct ClientExit {
    enum class Kind {
        Exited,      // on its own; `code` is its exit code
        Signalled,   // killed by someone else; `code` is the signal (POSIX)
        NotStarted,  // `reason` says why
        TimedOut,    // ended at its deadline
        Ended,       // ended because the plugin unloads
    };
    Kind kind = Kind::Exited;
    int code = 0;
    std::string reason;
};

// Starts the program `arguments[0]` with exactly `arguments` (program first), hidden and
// never through a shell, and waits until it exits or `deadline` has passed; then it is ended
// and reaped. No client outlives its deadline. Never throws.
ClientExit RunClient(const std::vector<std::string>& arguments, std::chrono::milliseconds deadline);

// Ends every client that RunClient waits for, at once; from now on RunClient starts none
// (Ended), until AllowClients.
void EndClients();
void AllowClients();

// A thread of the plugin's own. On Windows it keeps the plugin's module loaded while it
// runs, so that the module's code cannot go away under it; so it must not be joined under
// the loader lock (from DllMain), and need not be: the module cannot be detached while it
// runs.
class PluginThread {
  public:
    // Throws std::system_error when no thread can be started.
    explicit PluginThread(std::function<void()> work);
    ~PluginThread();  // joins
    PluginThread(const PluginThread&) = delete;
    PluginThread& operator=(const PluginThread&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quorvane::platform
