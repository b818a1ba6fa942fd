#pragma once
// What the request service checks of a URL, and how it names one in the log.

#include <string>
#include <string_view>

namespace http {

// An http:// or https:// URL (scheme in any letter case) with a host.
bool IsHttpUrl(std::string_view url);

// The URL's host, without user, port or brackets: "discord.com", "127.0.0.1", "::1"; empty
// when it has none.
std::string HostOf(std::string_view url);

// The URL for log lines: its query and its last path segment (of a webhook, everything after
// the webhook's id) replaced by "***". A webhook's token is there, and log files are shared
// more freely than configuration files.
std::string Redacted(std::string_view url);

}  // namespace http
