#pragma once
// Log lines as the host's sinks write them, "12/07/26 03:21 [Name][level] text", compared
// without their time stamp.

#include <string>
#include <vector>

namespace testing_support {

// Every line of `output` that carries a time stamp, without it: "[Name][level] text".
std::vector<std::string> LogLines(const std::string& output);
// Only the lines of the logger `name`.
std::vector<std::string> LogLinesOf(const std::string& output, const std::string& name);

}  // namespace testing_support
