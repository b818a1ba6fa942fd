#include "notify/DiscordPost.h"

#include <nlohmann/json.hpp>

namespace quorvane {

std::string DiscordBody(const std::string& message, const std::string& header,
                        const std::string& colour) {
    // The colour stays text, exactly as configured.
    const nlohmann::json body = {
        {"content", header},
        {"embeds", nlohmann::json::array({{{"color", colour}, {"description", message}}})}};
    return body.dump();
}

std::optional<DiscordPost> MakeDiscordPost(const Settings& s, const std::string& message,
                                           const std::string& header) {
    if (s.DiscordWebhook.empty() || message.empty() || s.DiscordWebhookColor.empty()) {
        return std::nullopt;
    }
    return DiscordPost{s.DiscordWebhook, DiscordBody(message, header, s.DiscordWebhookColor)};
}

}  // namespace quorvane
