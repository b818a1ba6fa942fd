#pragma once
// quorvane-rcon's command line: -H host -P port -p password [-t seconds] [--] command...
// The options are exactly the arguments that start with -H, -P, -p or -t, and "--help" and
// "--". Each option's value is attached (-Hhost) or the next argument (-H host). Options
// end at the first other argument, even one that starts with '-' ("-", "-x", "-= Meteor =-",
// "--x"), or after "--"; every argument from there on is one command, sent byte for byte.
// A command that starts with -H, -P, -p or -t, or is --help or --, needs "--" before it.

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace rcon::cli {

inline constexpr std::chrono::milliseconds kDefaultTimeout{5000};

struct Arguments {
    std::string host;
    int port = 0;
    std::string password;
    std::chrono::milliseconds timeout = kDefaultTimeout;
    std::vector<std::string> commands;
    bool help = false;
};

class UsageError : public std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// Throws UsageError with a one-line reason. A bare option (-H, -p...) takes the next
// argument as its value unless that starts with '-'; otherwise its value is empty, and an
// empty host, port or password is refused like a missing one.
Arguments ParseArguments(const std::vector<std::string>& arguments);

const char* UsageText();

}  // namespace rcon::cli
