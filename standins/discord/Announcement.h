#pragma once
// An accepted webhook post as a few readable lines for the console, where the cluster
// demonstration shows them among the servers' log lines.

#include <optional>
#include <string>

namespace webhook {

// "Discord | <content>" and, per embed, its title, description and image lines indented below
// it; then whom it notifies ("pings: role 1, @everyone") when anyone, and the thread it went
// into, if any. Every line ends with '\n'. A body that is not a JSON object gives one line
// saying so.
std::string FormatAnnouncement(const std::string& body,
                               const std::optional<std::string>& threadId = std::nullopt);

}  // namespace webhook
