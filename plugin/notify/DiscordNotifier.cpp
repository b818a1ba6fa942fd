#include "notify/DiscordNotifier.h"

#include <functional>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "notify/DiscordPost.h"

namespace quorvane::DiscordNotifier {
namespace {

using Completion =
    std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>;

// Runs on the game thread with nothing around it; `debug` is the setting at the post.
Completion Done(bool debug) {
    return [debug](bool success, std::string, std::unordered_map<std::string, std::string>) {
        try {
            if (!debug) {
                return;
            }
            if (success) {
                PluginLog()->info("Message sent to discord");
            } else {
                PluginLog()->error("Failed to send message to discord");
            }
        } catch (...) {
        }
    };
}

}  // namespace

void PostAnnouncement(const Settings& s, const std::string& message, const std::string& header) {
    try {
        const auto post = MakeDiscordPost(s, message, header);
        if (!post) {
            return;
        }
        API::Requests::Get().CreatePostRequest(post->Url, Done(s.Debug), post->Body,
                                               "application/json",
                                               {"Content-Type: application/json"});
    } catch (const std::exception& e) {
        if (s.Debug) {
            PluginLog()->info("{}", e.what());
        }
    } catch (...) {
        if (s.Debug) {
            PluginLog()->info("Discord post not made: unknown error");
        }
    }
}

}  // namespace quorvane::DiscordNotifier
