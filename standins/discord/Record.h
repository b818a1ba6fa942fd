#pragma once
// One request as the receiver saw and answered it.

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace webhook {

struct Record {
    std::string method;
    std::string target;  // path and query, as requested
    std::vector<std::string> contentTypes;
    // Every header in arrival order, names as sent.
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int status = 0;
};

// {"method", "path", "content_type": [...], "headers": [[name, value]...], "body", "status"};
// bytes that are not UTF-8 are replaced.
nlohmann::json ToJson(const Record& record);
// One line of the record file.
std::string ToJsonLine(const Record& record);

}  // namespace webhook
