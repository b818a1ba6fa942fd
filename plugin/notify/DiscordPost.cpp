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

std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char byte) { return !IsContinuation(byte); }));
}

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
    DiscordPost post;
    post.Url = s.DiscordWebhook;
    std::string content = header;
    std::string description = message;
    for (auto cut : {Cut("header", content, kDiscordContentLimit),
                     Cut("message", description, kDiscordDescriptionLimit)}) {
        if (!cut.empty()) {
            post.Cuts.push_back(std::move(cut));
        }
    }
    post.Body = DiscordBody(description, content, s.DiscordWebhookColor);
    return post;
}

DiscordAnswer ReadDiscordAnswer(bool success, const std::string& result,
                                const std::unordered_map<std::string, std::string>& headers,
                                DiscordRetries& retries) {
    using Kind = DiscordAnswer::Kind;
    if (success) {
        return {Kind::Posted, result, 0};
    }
    const auto retryOnce = [&](std::string what) -> DiscordAnswer {
        if (std::exchange(retries.AfterFailure, true)) {
            return {Kind::Failed, std::move(what), 0};
        }
        return {Kind::Retry, std::move(what), kDiscordRetrySeconds};
    };
    // The framework hands over nothing when the connection failed; it logs why itself.
    if (result.empty()) {
        return retryOnce("no answer: the connection failed or timed out");
    }
    int status = 0;
    std::from_chars(result.data(), result.data() + result.size(), status);
    if (status == 429) {
        if (retries.RateLimited == 2) {
            return {Kind::Failed, result, 0};
        }
        ++retries.RateLimited;
        return {Kind::Retry, result, RetryAfter(headers)};
    }
    if (status >= 500 && status < 600) {
        return retryOnce(result);
    }
    if (status == 404) {
        return {Kind::Stop, result + " (the webhook no longer exists)", 0};
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
