#pragma once
// Runs the quorvane-rcon executable as the plugin does, against a loopback port.

#include <string>
#include <vector>

#include "Process.h"

namespace rcon_testing {

inline testing_support::ProcessResult RunClient(const std::vector<std::string>& arguments) {
    return testing_support::RunProcess(RCON_CLIENT_FILE, arguments, ".");
}

// "-H127.0.0.1 -P<port> -p<password>" followed by `commands`, all attached as the plugin
// passes them.
inline std::vector<std::string> PluginArguments(int port, const std::string& password,
                                                const std::vector<std::string>& commands) {
    std::vector<std::string> arguments{"-H127.0.0.1", "-P" + std::to_string(port), "-p" + password};
    arguments.insert(arguments.end(), commands.begin(), commands.end());
    return arguments;
}

}  // namespace rcon_testing
