// A stand-in for the RCON client in tests: appends its arguments, as one JSON object per line
// (each argument as text and, byte for byte, in hexadecimal), to the file named by
// QUORVANE_ARGV_RECORD. With QUORVANE_ARGV_HANG set it then
// never ends; QUORVANE_ARGV_EXIT sets its exit code. Either may name one argument after an
// '@' ("1@-H10.0.0.2", "4@-H10.0.0.2") to act only for the runs that have it.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

namespace {

// The setting's value when it applies to this run, or null.
const char* Applies(const char* variable, int argc, char** argv) {
    const char* value = std::getenv(variable);
    if (value == nullptr) {
        return nullptr;
    }
    const char* at = std::strchr(value, '@');
    if (at == nullptr) {
        return value;
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], at + 1) == 0) {
            return value;
        }
    }
    return nullptr;
}

}  // namespace

std::string Hex(const char* bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (; *bytes != '\0'; ++bytes) {
        const auto byte = static_cast<unsigned char>(*bytes);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

int main(int argc, char** argv) {
    nlohmann::json arguments = nlohmann::json::array();
    nlohmann::json hex = nlohmann::json::array();
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
        hex.push_back(Hex(argv[i]));
    }
    if (const char* file = std::getenv("QUORVANE_ARGV_RECORD")) {
        std::ofstream(file, std::ios::app)
            << nlohmann::json{{"pid", getpid()}, {"args", arguments}, {"hex", hex}}.dump(
                   -1, ' ', false, nlohmann::json::error_handler_t::replace)
            << "\n";
    }
    if (Applies("QUORVANE_ARGV_HANG", argc, argv) != nullptr) {
        for (;;) {
            pause();
        }
    }
    const char* code = Applies("QUORVANE_ARGV_EXIT", argc, argv);
    return code != nullptr ? std::atoi(code) : 0;
}
