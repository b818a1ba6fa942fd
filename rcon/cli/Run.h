#pragma once

#include <ostream>

#include "Arguments.h"

namespace rcon::cli {

// Logs in and sends every command, printing each reply to `out` (ending with a line break)
// and a failure as one line to `err`. Returns the exit code. Commands and the password are
// checked against the packet size before anything is sent.
int Run(const Arguments& arguments, std::ostream& out, std::ostream& err);

}  // namespace rcon::cli
