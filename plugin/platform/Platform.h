#pragma once
// The plugin's few calls into the operating system; one implementation per platform.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quorvane::platform {

// The process's command-line arguments, program path first, as UTF-16 code units. Empty
// when the command line cannot be split.
std::vector<std::wstring> CommandLineArguments();

// Full path of the plugin's own module file, as UTF-16 code units.
std::wstring OwnModulePath();

// Starts the program of a command line built for `cmd.exe /C` (""program" arguments"),
// hidden, with the arguments cmd.exe would have passed, but without a shell, so that no text
// in the line is ever run as a command. Waits for it without a time-out; its exit code, or
// -1 when it cannot be started.
int RunShellCommand(std::string commandLine);

// Ends every command that RunShellCommand is waiting for; from now on it starts none.
void EndRunningCommands();

// Runs `work` on a thread of its own; the caller never waits for it. Throws
// std::system_error when no thread can be started. No worker runs plugin code once the
// plugin is unloaded: on POSIX, unloading waits for them (WaitForWorkers); on Windows, which
// unloads a library under a lock that exiting threads need too, each worker keeps the
// plugin loaded until it is done, so unloading comes after the last one.
void StartWorker(std::function<void()> work);

// Waits up to `limit` for every worker started so far to end; true when none runs any more.
bool WaitForWorkers(std::chrono::milliseconds limit);

}  // namespace quorvane::platform
