#include "HttpHeaders.h"

#include <algorithm>

namespace http {
namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerCase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

}  // namespace

bool IsContentTypeLine(std::string_view line) {
    const auto colon = line.find(':');
    return colon != std::string_view::npos &&
           LowerCase(Trim(line.substr(0, colon))) == "content-type";
}

std::vector<std::string> RequestHeaderLines(const std::string& contentType,
                                            const std::vector<std::string>& lines) {
    std::string type = contentType;
    std::vector<std::string> out(1);
    for (const auto& line : lines) {
        if (!IsContentTypeLine(line)) {
            out.push_back(line);
        } else if (type.empty()) {
            type = Trim(std::string_view(line).substr(line.find(':') + 1));
        }
    }
    if (type.empty()) {
        out.erase(out.begin());
    } else {
        out.front() = "Content-Type: " + type;
    }
    return out;
}

void AddResponseHeader(std::unordered_map<std::string, std::string>& headers,
                       std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;
    }
    const std::string name = LowerCase(Trim(line.substr(0, colon)));
    if (name.empty()) {
        return;
    }
    const std::string_view value = Trim(line.substr(colon + 1));
    auto [it, added] = headers.try_emplace(name, value);
    if (!added) {
        it->second.append(", ").append(value);
    }
}

}  // namespace http
