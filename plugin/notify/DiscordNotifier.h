#pragma once
// Announcements on Discord, through the host's request service or, with
// DiscordVerifiedTransport, the plugin's own HTTP client, alike: each post named in the log
// when it fails, retried when Discord asks to wait (429) or failed for a moment (5xx, no
// answer), and no more posts once the webhook is gone or its token wrong (401, 404) until the
// settings are read again. A post belongs to the webhook it was made for: once a reload sets
// another, its retries are dropped and its answers stop nothing. Each attempt goes the way the
// settings say when it is made. Retries wait on the host's timers; on the game thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

#include "config/Settings.h"
#include "notify/DiscordPost.h"
#include "notify/FrameworkTransport.h"
#include "notify/VerifiedTransport.h"

namespace quorvane {

class DiscordNotifier {
  public:
    // How a completion or a retry's timer gets back to this notifier: through whatever owns it,
    // so that one arriving after the owner is gone finds nothing.
    using Reenter = std::function<void(const std::function<void(DiscordNotifier&)>&)>;

    // How long the plugin's own client waits for a complete answer.
    static constexpr std::chrono::milliseconds kVerifiedTimeout = std::chrono::seconds(30);

    // `settings` outlives the notifier; `userAgent` goes with every post.
    DiscordNotifier(const Settings& settings, std::string userAgent, Reenter reenter,
                    std::chrono::milliseconds verifiedTimeout = kVerifiedTimeout);

    // Posts an event as MakeDiscordPost composes it. Skipped silently without a webhook, a
    // colour or a message, and while posting is stopped: false then. Never throws.
    bool Post(const std::string& eventId, const DiscordEvent& event, std::uint64_t recordId = 0);

    // Told what finally became of each post made: "posted", "failed: ...", "posting stopped:
    // ...", with the post's record id.
    using Finished = std::function<void(std::uint64_t recordId, const std::string& outcome)>;
    void OnFinished(Finished finished) { finished_ = std::move(finished); }

    // The settings were read again: posting starts again, and the posts waiting to be retried
    // for a webhook that is no longer set are dropped.
    void Reloaded();
    // For unloading: drops the pending retries' timers and ends the own client's posts and
    // thread. No answer reaches the notifier afterwards.
    void DropTimers();

    // What became of the last post, for an admin: "posted", "retrying in 2 s: 429 Too Many
    // Requests", "failed: 400 Bad Request", "posting stopped: ...".
    struct LastPost {
        std::string EventId;
        std::string Outcome;
        std::chrono::steady_clock::time_point At;
    };
    const std::optional<LastPost>& Last() const { return last_; }
    bool Stopped() const { return stopped_; }

  private:
    struct Attempt {
        std::string EventId;
        std::uint64_t RecordId = 0;
        DiscordPost Post;
        // DiscordWebhook when it was made.
        std::string Webhook;
        DiscordRetries Retries;
        bool Debug = false;
        bool WaitingForRetry = false;
    };

    // What a reload has changed of where the attempt goes ("DiscordWebhook was changed by
    // quorvane.reload"); empty while the settings still send it there.
    std::string Replaced(const Attempt& attempt) const;
    void Send(std::uint64_t id);
    void OnAnswer(std::uint64_t id, const DiscordReply& reply);
    void Retry(std::uint64_t id);
    void Fail(const std::string& eventId, std::uint64_t recordId, const std::string& what);
    void StopPosting(const Attempt& attempt, const DiscordAnswer& answer);
    void Remember(const std::string& eventId, std::string outcome);
    void Finish(std::uint64_t recordId, const std::string& outcome);

    const Settings& settings_;
    std::string userAgent_;
    Reenter reenter_;
    FrameworkTransport framework_;
    VerifiedTransport verified_;
    Finished finished_;
    std::map<std::uint64_t, Attempt> attempts_;
    std::uint64_t nextId_ = 1;
    bool stopped_ = false;
    std::optional<LastPost> last_;
};

}  // namespace quorvane
