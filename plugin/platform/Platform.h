#pragma once
// The plugin's few calls into the operating system; one implementation per platform.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::platform {

// The process's command-line arguments, program path first, as UTF-16 code units. Empty
// when the command line cannot be split.
std::vector<std::wstring> CommandLineArguments();

// Full path of the plugin's own module file, as UTF-16 code units.
std::wstring OwnModulePath();

// Minutes since the last midnight in the server's local time: 0 to 1439.
int LocalMinuteOfDay(std::chrono::system_clock::time_point time);
// What the server's clocks show at `time`, by its own time-zone setting.
std::chrono::local_seconds ServerLocalTime(std::chrono::sys_seconds time);

// Replaces `file` with `contents` so that a reader, or the next start after the process or the
// machine died, finds the old file whole or the new one whole: written beside it, flushed to
// the disk, then renamed over it. Throws std::system_error.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents);

// A thread of the plugin's own. Nothing `work` throws leaves it: a thread's end by exception
// would end the game. It keeps the plugin's module loaded while it runs (on Windows until it
// ends, elsewhere until it is joined), so that the module's code cannot go away under it; so
// it must not be joined under the loader lock (from DllMain), and need not be: the module
// cannot be detached while it runs.
class PluginThread {
  public:
    // Throws a std::exception when no thread can be started.
    explicit PluginThread(std::function<void()> work);
    ~PluginThread();  // joins
    PluginThread(const PluginThread&) = delete;
    PluginThread& operator=(const PluginThread&) = delete;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace quorvane::platform
