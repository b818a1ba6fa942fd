// An RCON client without a time-out of its own, as the common ones are: quorvane-rcon's
// arguments and protocol, but it waits for every answer as long as it takes.

#include <iostream>

#include "Arguments.h"
#include "ExitCode.h"
#include "Run.h"

int main(int argc, char** argv) {
    try {
        auto arguments = rcon::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
        arguments.timeout = std::chrono::hours(24 * 365);
        return rcon::cli::Run(arguments, std::cout, std::cerr);
    } catch (const std::exception& e) {
        std::cerr << "patient-rcon: " << e.what() << '\n';
        return rcon::cli::kUsage;
    }
}
