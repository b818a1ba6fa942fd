#include "CommandLineSplit.h"

namespace testing_support {
namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const std::size_t n = line.size();

    std::string program;
    if (i < n && line[i] == '"') {
        for (++i; i < n && line[i] != '"'; ++i) {
            program += line[i];
        }
        i = i < n ? i + 1 : i;
    } else {
        for (; i < n && !IsBlank(line[i]); ++i) {
            program += line[i];
        }
    }
    arguments.push_back(std::move(program));

    while (true) {
        while (i < n && IsBlank(line[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::string argument;
        int quotes = 0;  // 1: inside quotes
        std::size_t backslashes = 0;
        while (i < n && !(IsBlank(line[i]) && quotes == 0)) {
            const char c = line[i++];
            if (c == '\\') {
                argument += c;
                ++backslashes;
                continue;
            }
            if (c != '"') {
                argument += c;
                backslashes = 0;
                continue;
            }
            argument.resize(argument.size() - backslashes / 2);
            if (backslashes % 2 == 1) {
                argument.back() = '"';  // the odd backslash escapes the mark
            } else {
                ++quotes;
            }
            backslashes = 0;
            for (; i < n && line[i] == '"'; ++i) {
                if (++quotes == 3) {
                    argument += '"';
                    quotes = 0;
                }
            }
            if (quotes == 2) {
                quotes = 0;
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

}  // namespace testing_support
