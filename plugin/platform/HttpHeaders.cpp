#include "platform/HttpHeaders.h"

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
    const std::string name(Trim(line.substr(0, colon)));
    if (!name.empty()) {
        headers[name] = Trim(line.substr(colon + 1));
    }
}

std::string ReasonPhrase(std::string_view statusLine) {
    // HTTP-version SP status-code SP reason-phrase
    const auto first = statusLine.find(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto second = statusLine.find(' ', first + 1);
    return second == std::string_view::npos ? std::string()
                                            : std::string(Trim(statusLine.substr(second + 1)));
}

std::string StandardReason(long status) {
    static const std::unordered_map<long, const char*> reasons = {
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {204, "No Content"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {411, "Length Required"},
        {413, "Payload Too Large"},
        {415, "Unsupported Media Type"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
    };
    const auto found = reasons.find(status);
    return found != reasons.end() ? found->second : "Unknown";
}

}  // namespace http
