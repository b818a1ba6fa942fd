#pragma once
// What one event posts to the Discord webhook, and what Discord's answer means for it. Pure.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Text.h"
#include "config/Settings.h"

namespace quorvane {

// Discord's limits, in characters (the code points of the UTF-8 text): a message's content,
// an embed's description, and the texts of all embeds together. A post over any is refused
// whole.
inline constexpr std::size_t kDiscordContentLimit = 2000;
inline constexpr std::size_t kDiscordDescriptionLimit = 4096;
inline constexpr std::size_t kDiscordEmbedsLimit = 6000;

// The text cut to `limit` characters, the last three of them "...", when it is longer.
std::string CutToLimit(std::string_view utf8, std::size_t limit);

// What one event puts into its post besides the settings.
struct DiscordEvent {
    std::string Message;     // the filled DiscordBroadcastMessage: the embed's text
    std::string Header;      // the filled DiscordBroadcastHeader: the content
    std::string ImageUrl;    // the event's DiscordImageUrl, or empty
    std::string StartedUtc;  // when it started: "2026-12-08T23:51:53Z"
};

struct DiscordPost {
    std::string Url;
    std::string Body;
    // For each text that had to be cut to Discord's limit, what a person should know.
    std::vector<std::string> Cuts;
    // What Discord counts against its 6000 characters of all embeds together.
    std::size_t EmbedCharacters = 0;
    // The thread it goes into, or empty.
    std::string ThreadId;
};

// The one composition of a post from the settings and the event; none without a webhook, a
// colour or a message. Compact JSON, keys in byte order, the colour as text exactly as
// configured. Without any of the optional parts set (role mentions, name, avatar, thread,
// timestamp, an event's image) the body is {"content":HEADER,"embeds":[{"color":COLOUR,
// "description":MESSAGE}]}; with any, "allowed_mentions" lets the post ping the listed roles
// and nobody else, whatever its texts say.
std::optional<DiscordPost> MakeDiscordPost(const Settings& settings, const DiscordEvent& event);

// Where the settings send a post: the webhook, with its thread if one is set.
std::string DiscordPostUrl(const Settings& settings);

// As Discord asks of every client: "Quorvane (URL, VERSION)".
std::string DiscordUserAgent(const std::string& version);

// What a transport reports of one post, as the framework's request service does: success for
// a 2xx status; the body of a 200, "STATUS REASON" for any other status, empty when nothing
// answered; the answer's headers. The plugin's own client says why nothing answered (the
// framework logs that itself).
struct DiscordReply {
    bool Success = false;
    std::string Result;
    std::unordered_map<std::string, std::string> Headers;
    std::string Failure;
};

// What became of one post, from its reply.
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

// `retries` counts the retry when the answer is one. A 404 to a post into a thread may mean
// that the thread is gone.
DiscordAnswer ReadDiscordAnswer(const DiscordReply& reply, DiscordRetries& retries,
                                const std::string& threadId = {});

}  // namespace quorvane
