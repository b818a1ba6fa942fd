#pragma once
// An accepted webhook post as a few readable lines for the console, where the cluster
// demonstration shows them among the servers' log lines.

#include <string>

namespace webhook {

// "Discord | <content>" and, per embed, its title and description lines indented below it;
// every line ends with '\n'. A body that is not a JSON object gives one line saying so.
std::string FormatAnnouncement(const std::string& body);

}  // namespace webhook
