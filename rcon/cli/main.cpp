// quorvane-rcon: a Source RCON command-line client.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "Arguments.h"
#include "ExitCode.h"
#include "Run.h"

int main(int argc, char** argv) {
    try {
        const auto arguments =
            rcon::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
        return rcon::cli::Run(arguments, std::cout, std::cerr);
    } catch (const rcon::cli::UsageError& e) {
        std::cerr << "quorvane-rcon: " << e.what() << '\n';
        return rcon::cli::kUsage;
    } catch (const std::exception& e) {
        std::cerr << "quorvane-rcon: " << e.what() << '\n';
        return rcon::cli::kUnexpected;
    }
}
