#pragma once
// Header rules shared by both HTTP clients.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace http {

// True for "Content-Type: ..." in any letter case.
bool IsContentTypeLine(std::string_view line);

// The header lines a request goes out with: exactly one Content-Type line, first, whose value
// is `contentType` or, when that is empty, the value of the first Content-Type line among
// `lines`; then every other line of `lines`, unchanged and in order. No Content-Type line at
// all when neither names one.
std::vector<std::string> RequestHeaderLines(const std::string& contentType,
                                            const std::vector<std::string>& lines);

// Adds one received "Name: value" line: the name as sent, the value without surrounding
// blanks, a repeated name's last value. Lines without a colon are ignored.
void AddResponseHeader(std::unordered_map<std::string, std::string>& headers,
                       std::string_view line);

// The reason phrase of a status line ("HTTP/1.1 429 Too Many Requests"); empty when it has
// none.
std::string ReasonPhrase(std::string_view statusLine);
// The standard reason phrase of a status ("Not Found"), or "Unknown".
std::string StandardReason(long status);

}  // namespace http
