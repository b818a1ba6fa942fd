#pragma once
// A property that does not hold ends the run as a crash, with the reason, so that libFuzzer
// keeps the input that broke it.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace fuzzing {

[[noreturn]] inline void Fail(const std::string& what) {
    std::fprintf(stderr, "property broken: %s\n", what.c_str());
    std::abort();
}

// `what` is a literal, so that a check that holds costs no string.
inline void Require(bool holds, const char* what) {
    if (!holds) {
        Fail(what);
    }
}

// Printable, for a failure message: other bytes as \xNN.
inline std::string Shown(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        }
    }
    return out;
}

}  // namespace fuzzing
