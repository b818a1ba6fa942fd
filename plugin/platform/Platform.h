#pragma once
// The plugin's few calls into the operating system; one implementation per platform.

#include <string>
#include <vector>

namespace quorvane::platform {

// The process's command-line arguments, program path first, as UTF-16 code units. Empty
// when the command line cannot be split.
std::vector<std::wstring> CommandLineArguments();

// Full path of the plugin's own module file, as UTF-16 code units.
std::wstring OwnModulePath();

// Runs the command line the way `cmd.exe /C` runs it, hidden, and waits for it without a
// time-out. Its exit code, or -1 when it cannot be started. On systems without cmd.exe the
// program is started directly, with the arguments Windows would have given it.
int RunShellCommand(std::string commandLine);

// Ends every command that RunShellCommand is waiting for; from now on it starts none.
void EndRunningCommands();

}  // namespace quorvane::platform
