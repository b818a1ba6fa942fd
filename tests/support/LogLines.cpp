#include "LogLines.h"

#include <regex>
#include <sstream>

namespace testing_support {

std::vector<std::string> LogLines(const std::string& output) {
    static const std::regex stamped(R"(^\d\d/\d\d/\d\d \d\d:\d\d (\[.*)$)");
    std::vector<std::string> lines;
    std::istringstream stream(output);
    std::string line;
    while (std::getline(stream, line)) {
        std::smatch match;
        if (std::regex_match(line, match, stamped)) {
            lines.push_back(match[1]);
        }
    }
    return lines;
}

std::vector<std::string> LogLinesOf(const std::string& output, const std::string& name) {
    std::vector<std::string> lines;
    const std::string prefix = "[" + name + "]";
    for (auto& line : LogLines(output)) {
        if (line.starts_with(prefix)) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace testing_support
