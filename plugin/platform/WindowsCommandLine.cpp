#include "platform/WindowsCommandLine.h"

#include <stdexcept>

namespace quorvane::platform {
namespace {

bool NeedsQuotes(const std::string& argument) {
    return argument.empty() || argument.find_first_of(" \t\"") != std::string::npos;
}

void AppendQuoted(std::string& line, const std::string& argument) {
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // A run of backslashes means itself unless a quotation mark follows it; then each
        // one must be doubled, and one more escapes the mark.
        line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        line += c;
        backslashes = 0;
    }
    line.append(2 * backslashes, '\\');  // the closing quote follows them
    line += '"';
}

}  // namespace

std::string WindowsCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        throw std::invalid_argument("a command line needs a program");
    }
    const std::string& program = arguments.front();
    if (program.find('"') != std::string::npos) {
        throw std::invalid_argument("a program path with a quotation mark: " + program);
    }
    if (program.ends_with('\\')) {
        throw std::invalid_argument("a program path that ends in a backslash: " + program);
    }
    for (const auto& argument : arguments) {
        if (argument.find('\0') != std::string::npos) {
            throw std::invalid_argument("an argument with a NUL byte");
        }
    }

    std::string line = '"' + program + '"';
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        line += ' ';
        if (i + 1 == arguments.size() || NeedsQuotes(arguments[i])) {
            AppendQuoted(line, arguments[i]);
        } else {
            line += arguments[i];
        }
    }
    return line;
}

}  // namespace quorvane::platform
