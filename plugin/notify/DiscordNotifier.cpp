#include "notify/DiscordNotifier.h"

#include <functional>

#include <nlohmann/json.hpp>

#include "config/Settings.h"
#include "core/Host.h"
#include "core/PluginLog.h"

namespace quorvane::DiscordNotifier {
namespace {

// Read at the moment of use from the document: the completion runs on a host thread.
bool Debug() {
    return ConfigDocument().value("Debug", false);
}

}  // namespace

std::string Body(const std::string& message, const std::string& header, const std::string& colour) {
    // The colour stays text, exactly as configured.
    const nlohmann::json body = {
        {"content", header},
        {"embeds", nlohmann::json::array({{{"color", colour}, {"description", message}}})}};
    return body.dump();
}

void PostAnnouncement(const std::string& message, const std::string& header) {
    try {
        const std::string colour = EventSettings().DiscordWebhookColor;
        if (EventSettings().DiscordWebhook.empty() || message.empty() || colour.empty()) {
            return;
        }
        const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>
            done = &OnPostDone;
        API::Requests::Get().CreatePostRequest(EventSettings().DiscordWebhook, done,
                                               Body(message, header, colour), "application/json",
                                               {"Content-Type: application/json"});
    } catch (const std::exception& e) {
        if (Debug()) {
            PluginLog()->info("{}", e.what());
        }
    } catch (...) {
        if (Debug()) {
            PluginLog()->info("Discord post not made: unknown error");
        }
    }
}

void OnPostDone(bool success, std::string, std::unordered_map<std::string, std::string>) {
    // Runs on the game thread with nothing around it.
    try {
        if (!Debug()) {
            return;
        }
        if (success) {
            PluginLog()->info("Message sent to discord");
        } else {
            PluginLog()->error("Failed to send message to discord");
        }
    } catch (...) {
    }
}

}  // namespace quorvane::DiscordNotifier
