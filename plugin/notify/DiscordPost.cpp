#include "notify/DiscordPost.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/PluginName.h"

namespace quorvane {
namespace {

bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

std::string Cut(const char* what, std::string& text, std::size_t limit) {
    const std::size_t count = CharacterCount(text);
    if (count <= limit) {
        return {};
    }
    text = CutToLimit(text, limit);
    return std::string("the ") + what + " has " + std::to_string(count) +
           " characters, more than Discord takes (" + std::to_string(limit) +
           "): it is cut to that, ending in \"...\"";
}

// Retry-After in whole seconds, at most a minute: a number Discord sends, or the usual wait
// when there is none.
int RetryAfter(const std::unordered_map<std::string, std::string>& headers) {
    for (const auto& [name, value] : headers) {
        if (name.size() != 11 ||
            !std::equal(name.begin(), name.end(), "retry-after", [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            })) {
            continue;
        }
        double seconds = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), seconds);
        if (error == std::errc() && end == value.data() + value.size() && seconds >= 0) {
            return static_cast<int>(
                (std::min)(std::ceil(seconds), static_cast<double>(kDiscordLongestRetryAfter)));
        }
    }
    return kDiscordRetrySeconds;
}

}  // namespace

std::string CutToLimit(std::string_view utf8, std::size_t limit) {
    if (CharacterCount(utf8) <= limit) {
        return std::string(utf8);
    }
    const std::size_t keep = limit >= 3 ? limit - 3 : 0;
    std::size_t characters = 0;
    std::size_t end = 0;
    for (; end < utf8.size(); ++end) {
        if (!IsContinuation(utf8[end]) && characters++ == keep) {
            break;
        }
    }
    return std::string(utf8.substr(0, end)) + "...";
}

std::optional<DiscordPost> MakeDiscordPost(const Settings& s, const DiscordEvent& event) {
    if (s.DiscordWebhook.empty() || event.Message.empty() || s.DiscordWebhookColor.empty()) {
        return std::nullopt;
    }
    using nlohmann::json;
    const auto& roles = s.DiscordMentionRoleIds;
    std::string mentions;
    for (const auto& id : roles) {
        mentions += "<@&" + id + "> ";
    }
    std::string header = event.Header;
    std::string description = event.Message;
    DiscordPost post;
    for (auto cut : {Cut(mentions.empty() ? "header" : "header, after the role mentions,", header,
                         kDiscordContentLimit - CharacterCount(mentions)),
                     Cut("message", description, kDiscordDescriptionLimit)}) {
        if (!cut.empty()) {
            post.Cuts.push_back(std::move(cut));
        }
    }
    if (header.empty() && !mentions.empty()) {
        mentions.pop_back();
    }
    // The colour stays text, exactly as configured.
    json embed = {{"color", s.DiscordWebhookColor}, {"description", description}};
    post.EmbedCharacters = CharacterCount(description);
    if (!event.ImageUrl.empty()) {
        embed["image"] = {{"url", event.ImageUrl}};
    }
    if (s.DiscordTimestamp) {
        embed["timestamp"] = event.StartedUtc;
    }
    json body = {{"content", mentions + header}, {"embeds", json::array({embed})}};
    if (!s.DiscordUsername.empty()) {
        body["username"] = s.DiscordUsername;
    }
    if (!s.DiscordAvatarUrl.empty()) {
        body["avatar_url"] = s.DiscordAvatarUrl;
    }
    // Settings with any of the newer parts ping only the roles they name, in every post, so
    // that no label or template can ping @everyone; without them the post stays as it was.
    const bool anyImage = !event.ImageUrl.empty() ||
                          std::any_of(s.RandomEvents.begin(), s.RandomEvents.end(),
                                      [](const auto& e) { return !e.DiscordImageUrl.empty(); });
    if (!roles.empty() || !s.DiscordUsername.empty() || !s.DiscordAvatarUrl.empty() ||
        !s.DiscordThreadId.empty() || s.DiscordTimestamp || anyImage) {
        body["allowed_mentions"] = {{"parse", json::array()}};
        if (!roles.empty()) {
            body["allowed_mentions"]["roles"] = roles;
        }
    }
    post.Url = DiscordPostUrl(s);
    post.ThreadId = s.DiscordThreadId;
    post.Body = body.dump();
    return post;
}

std::string DiscordPostUrl(const Settings& s) {
    std::string url = s.DiscordWebhook;
    if (!s.DiscordThreadId.empty()) {
        url += (url.find('?') == std::string::npos ? "?" : "&");
        url += "thread_id=" + s.DiscordThreadId;
    }
    return url;
}

DiscordAnswer ReadDiscordAnswer(const DiscordReply& reply, DiscordRetries& retries,
                                const std::string& threadId) {
    using Kind = DiscordAnswer::Kind;
    const std::string& result = reply.Result;
    if (reply.Success) {
        return {Kind::Posted, result, 0};
    }
    const auto retryOnce = [&](std::string what) -> DiscordAnswer {
        if (std::exchange(retries.AfterFailure, true)) {
            return {Kind::Failed, std::move(what), 0};
        }
        return {Kind::Retry, std::move(what), kDiscordRetrySeconds};
    };
    // Nothing when the connection failed; the framework logs why itself.
    if (result.empty()) {
        return retryOnce("no answer: " + (reply.Failure.empty()
                                              ? std::string("the connection failed or timed out")
                                              : reply.Failure));
    }
    int status = 0;
    std::from_chars(result.data(), result.data() + result.size(), status);
    if (status == 429) {
        if (retries.RateLimited == 2) {
            return {Kind::Failed, result, 0};
        }
        ++retries.RateLimited;
        return {Kind::Retry, result, RetryAfter(reply.Headers)};
    }
    if (status >= 500 && status < 600) {
        return retryOnce(result);
    }
    if (status == 404) {
        return {Kind::Stop,
                result + (threadId.empty()
                              ? " (the webhook no longer exists)"
                              : " (the webhook, or thread " + threadId + ", no longer exists)"),
                0};
    }
    if (status == 401) {
        return {Kind::Stop, result + " (the webhook's token is wrong)", 0};
    }
    return {Kind::Failed, result, 0};
}

std::string DiscordUserAgent(const std::string& version) {
    return std::string(kPluginName) + " (" + std::string(kPluginUrl) + ", " + version + ")";
}

}  // namespace quorvane
