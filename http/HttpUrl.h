#pragma once
// What the request service checks of a URL, and how it names one in the log.

#include <string>
#include <string_view>

namespace http {

// An http:// or https:// URL (scheme in any letter case) with a host.
bool IsHttpUrl(std::string_view url);

// The URL for log lines: its last path segment and its query replaced by "***". A webhook's
// token is that segment, and log files are shared more freely than configuration files.
std::string Redacted(std::string_view url);

}  // namespace http
