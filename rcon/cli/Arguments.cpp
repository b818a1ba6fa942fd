#include "Arguments.h"

#include <charconv>
#include <cmath>

namespace rcon::cli {
namespace {

int ParsePort(const std::string& text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535) {
        throw UsageError("-P needs a port from 1 to 65535, not '" + text + "'");
    }
    return port;
}

std::chrono::milliseconds ParseTimeout(const std::string& text) {
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    // At most a day: the plugin waits for the client without limit, so it must end.
    if (error != std::errc() || end != text.data() + text.size() || !(seconds > 0) ||
        seconds > 86400) {
        throw UsageError("-t needs seconds above 0 and up to 86400, not '" + text + "'");
    }
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& arguments) {
    Arguments parsed;
    std::string port;
    std::string timeout;
    char lastSeparate = 0;  // the option that took the last argument as its value
    std::size_t i = 0;
    for (; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") {
            ++i;
            break;
        }
        if (argument == "--help") {
            parsed.help = true;
            return parsed;
        }
        // Anything else that starts with '-' is a command: the plugin's broadcasts may.
        const char option = argument.size() >= 2 && argument[0] == '-' ? argument[1] : 0;
        std::string* value = option == 'H'   ? &parsed.host
                             : option == 'P' ? &port
                             : option == 'p' ? &parsed.password
                             : option == 't' ? &timeout
                                             : nullptr;
        if (value == nullptr) {
            break;
        }
        lastSeparate = 0;
        if (argument.size() > 2) {
            *value = argument.substr(2);
        } else if (i + 1 < arguments.size() && !arguments[i + 1].starts_with('-')) {
            *value = arguments[++i];
            lastSeparate = option;
        } else {
            value->clear();
        }
    }
    parsed.commands.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());

    if (parsed.host.empty()) {
        throw UsageError("no server address (-H)");
    }
    if (port.empty()) {
        throw UsageError("no port (-P)");
    }
    parsed.port = ParsePort(port);
    if (parsed.password.empty()) {
        throw UsageError("no password (-p)");
    }
    if (!timeout.empty()) {
        parsed.timeout = ParseTimeout(timeout);
    }
    if (parsed.commands.empty()) {
        throw UsageError(lastSeparate != 0 ? std::string("no command to send (the last argument "
                                                         "was read as the value of -") +
                                                 lastSeparate + ")"
                                           : "no command to send");
    }
    return parsed;
}

const char* UsageText() {
    return "usage: quorvane-rcon -H host -P port -p password [-t seconds] [--] command...\n"
           "Sends each command to a Source RCON server and prints each reply.\n"
           "  -H host      server name or address\n"
           "  -P port      server's RCON port\n"
           "  -p password  RCON password\n"
           "  -t seconds   time-out for the connect and for each reply (default 5)\n"
           "  --help       prints this text\n"
           "  --           ends the options, for a command that starts with -H, -P, -p\n"
           "               or -t, or is --help or --\n"
           "Values may be attached (-Hhost) or follow the option (-H host) when they do\n"
           "not start with '-'. The first argument that is none of these options begins\n"
           "the commands, even one that starts with '-' (-x, -= Meteor =-).\n"
           "Exit codes: 0 answered, 2 usage, 3 connection, 4 authentication, 5 time-out,\n"
           "6 protocol error, 7 command too long, 1 anything else.\n";
}

}  // namespace rcon::cli
