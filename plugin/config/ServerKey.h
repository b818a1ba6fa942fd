#pragma once

#include <string>
#include <vector>

namespace quorvane {

// The value of the first command-line argument that starts with "-serverkey=" (letter case
// ignored), narrowed to ASCII with "?" for anything else; empty when there is none.
std::string ServerKeyFrom(const std::vector<std::wstring>& arguments);

// ServerKeyFrom the process's own command line; writes "Server Key: {}".
std::string GetServerKey();

}  // namespace quorvane
