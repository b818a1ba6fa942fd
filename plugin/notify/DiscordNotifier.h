#pragma once

#include <string>
#include <unordered_map>

namespace quorvane::DiscordNotifier {

// The request body: {"content":HEADER,"embeds":[{"color":COLOUR,"description":MESSAGE}]},
// compact, the colour as text exactly as configured.
std::string Body(const std::string& message, const std::string& header, const std::string& colour);

// Posts the header as the message content and the message as an embed in the configured
// colour. Skipped silently without a webhook, a colour or a message. Never throws.
void PostAnnouncement(const std::string& message, const std::string& header);

// Completion of the webhook request; reports the outcome when Debug is on.
void OnPostDone(bool success, std::string body,
                std::unordered_map<std::string, std::string> headers);

}  // namespace quorvane::DiscordNotifier
