#pragma once
// What one event posts to the Discord webhook, and what Discord's answer means for it. Pure.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/Settings.h"

namespace quorvane {

// Discord's limits, in characters (the code points of the UTF-8 text): a message's content
// and an embed's description. A post over either is refused whole.
inline constexpr std::size_t kDiscordContentLimit = 2000;
inline constexpr std::size_t kDiscordDescriptionLimit = 4096;

// The code points of a UTF-8 text (a stray byte counts as one).
std::size_t CharacterCount(std::string_view utf8);
// The text cut to `limit` characters, the last three of them "...", when it is longer.
std::string CutToLimit(std::string_view utf8, std::size_t limit);

struct DiscordPost {
    std::string Url;
    std::string Body;
    // For each text that had to be cut to Discord's limit, what a person should know.
    std::vector<std::string> Cuts;
};

// The request body: {"content":HEADER,"embeds":[{"color":COLOUR,"description":MESSAGE}]},
// compact, the colour as text exactly as configured.
std::string DiscordBody(const std::string& message, const std::string& header,
                        const std::string& colour);

// The post of an event's two texts, each within Discord's limit; none without a webhook, a
// colour or a message.
std::optional<DiscordPost> MakeDiscordPost(const Settings& settings, const std::string& message,
                                           const std::string& header);

// As Discord asks of every client: "Quorvane (URL, VERSION)".
std::string DiscordUserAgent(const std::string& version);

// What became of one post, from what the framework's request service reports: its success,
// its result ("STATUS REASON", empty when nothing answered) and the answer's headers.
struct DiscordAnswer {
    enum class Kind {
        Posted,
        Retry,   // again after `RetrySeconds`
        Failed,  // for good
        Stop,    // and no more posts: the webhook is gone or its token wrong
    };
    Kind Outcome = Kind::Posted;
    std::string What;  // "429 Too Many Requests", "404 Not Found (the webhook no longer exists)"
    int RetrySeconds = 0;
};

// The retries one post has had.
struct DiscordRetries {
    int RateLimited = 0;        // after a 429: at most two
    bool AfterFailure = false;  // after a 5xx or no answer: at most one
};

inline constexpr int kDiscordRetrySeconds = 5;
inline constexpr int kDiscordLongestRetryAfter = 60;

// `retries` counts the retry when the answer is one.
DiscordAnswer ReadDiscordAnswer(bool success, const std::string& result,
                                const std::unordered_map<std::string, std::string>& headers,
                                DiscordRetries& retries);

}  // namespace quorvane
