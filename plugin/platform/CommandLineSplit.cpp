#include "platform/CommandLineSplit.h"

namespace quorvane::platform {
namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

std::string StripOuterQuotes(std::string_view line) {
    if (line.empty() || line.front() != '"') {
        return std::string(line);
    }
    std::string kept(line.substr(1));
    if (const auto last = kept.rfind('"'); last != std::string::npos) {
        kept.erase(last, 1);
    }
    return kept;
}

ProgramLine SplitProgram(std::string_view line) {
    ProgramLine out;
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = line.find('"', 1);
        out.program =
            std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
        i = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        while (i < line.size() && !IsBlank(line[i])) {
            ++i;
        }
        out.program = std::string(line.substr(0, i));
    }
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    out.parameters = std::string(line.substr(i));
    return out;
}

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

}  // namespace quorvane::platform
