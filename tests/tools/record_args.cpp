// A stand-in for the RCON client in tests: appends its arguments, as one JSON array per
// line, to the file named by QUORVANE_ARGV_RECORD. With QUORVANE_ARGV_HANG set it then
// never ends; QUORVANE_ARGV_EXIT sets its exit code.

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <nlohmann/json.hpp>

int main(int argc, char** argv) {
    nlohmann::json arguments = nlohmann::json::array();
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    if (const char* file = std::getenv("QUORVANE_ARGV_RECORD")) {
        std::ofstream(file, std::ios::app)
            << nlohmann::json{{"pid", getpid()}, {"args", arguments}}.dump(
                   -1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
    }
    if (std::getenv("QUORVANE_ARGV_HANG") != nullptr) {
        for (;;) {
            pause();
        }
    }
    const char* code = std::getenv("QUORVANE_ARGV_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
