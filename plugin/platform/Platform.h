#pragma once
// The plugin's few calls into the operating system; one implementation per platform.

#include <string>
#include <thread>
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

// At unload, for a worker thread whose work is done: joins it where that is safe. Windows
// unloads a library under its loader lock, which an exiting thread needs too: there the
// thread is let go, with nothing of the plugin's left to run but its return.
void ReleaseWorkerAtUnload(std::thread& worker);

}  // namespace quorvane::platform
