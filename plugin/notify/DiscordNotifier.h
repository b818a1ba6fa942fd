#pragma once
// Announcements on Discord, through the host's request service.

#include <string>

#include "config/Settings.h"

namespace quorvane::DiscordNotifier {

// Posts the header as the message content and the message as an embed in the configured
// colour. Skipped silently without a webhook, a colour or a message. Never throws; with Debug
// on, the outcome is logged when the host reports it.
void PostAnnouncement(const Settings& settings, const std::string& message,
                      const std::string& header);

}  // namespace quorvane::DiscordNotifier
