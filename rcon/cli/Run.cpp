#include "Run.h"

#include "ExitCode.h"
#include "rcon/Client.h"

namespace rcon::cli {
namespace {

constexpr const char* kName = "quorvane-rcon: ";

}  // namespace

int Run(const Arguments& arguments, std::ostream& out, std::ostream& err) {
    if (arguments.help) {
        out << UsageText();
        return kOk;
    }
    if (!FitsInPacket(arguments.password)) {
        err << kName << TooLongForPacket("the password", arguments.password.size()) << '\n';
        return kTooLong;
    }
    for (std::size_t i = 0; i < arguments.commands.size(); ++i) {
        if (!FitsInPacket(arguments.commands[i])) {
            err << kName
                << TooLongForPacket("command " + std::to_string(i + 1),
                                    arguments.commands[i].size())
                << '\n';
            return kTooLong;
        }
    }
    try {
        Client client(arguments.host, arguments.port, arguments.timeout);
        client.Authenticate(arguments.password);
        for (const auto& command : arguments.commands) {
            const std::string reply = client.Execute(command);
            out << reply;
            if (!reply.empty() && reply.back() != '\n') {
                out << '\n';
            }
            // A later failure must not hold back the replies already received.
            out.flush();
        }
        return kOk;
    } catch (const Error& e) {
        err << kName << e.what() << '\n';
        return ExitCodeOf(e.Kind());
    } catch (const std::exception& e) {
        err << kName << e.what() << '\n';
        return kUnexpected;
    }
}

}  // namespace rcon::cli
