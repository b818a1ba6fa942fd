#pragma once
// What one event posts to the Discord webhook. Pure.

#include <optional>
#include <string>

#include "config/Settings.h"

namespace quorvane {

struct DiscordPost {
    std::string Url;
    std::string Body;
};

// The request body: {"content":HEADER,"embeds":[{"color":COLOUR,"description":MESSAGE}]},
// compact, the colour as text exactly as configured.
std::string DiscordBody(const std::string& message, const std::string& header,
                        const std::string& colour);

// The post of an event's two texts; none without a webhook, a colour or a message.
std::optional<DiscordPost> MakeDiscordPost(const Settings& settings, const std::string& message,
                                           const std::string& header);

}  // namespace quorvane
