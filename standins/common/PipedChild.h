#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace standin {

// A program started with its standard output and error in one pipe.
struct PipedChild {
    pid_t pid = -1;
    int output = -1;  // the pipe's read end, close-on-exec; the caller closes it
};

// Starts `program` with `arguments` in `workingDir`, no signal blocked and SIGINT and SIGTERM
// at their default, whatever this process blocks or ignores, so that it can always be stopped.
// With `ownProcessGroup`, a Ctrl-C at the terminal reaches this process only. Throws
// std::runtime_error when it cannot start.
PipedChild StartPiped(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments,
                      const std::filesystem::path& workingDir, bool ownProcessGroup);

}  // namespace standin
