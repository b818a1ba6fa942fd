#include "notify/DiscordNotifier.h"

#include <exception>
#include <utility>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

// The retries' timers, apart from the event chain's (path + "_0"), which a reload drops.
FString RetryTimerIdentifier() {
    return FString(platform::OwnModulePath() + L"_1");
}

std::string Announcement(const std::string& eventId) {
    return "Discord announcement of event " + eventId;
}

}  // namespace

DiscordNotifier::DiscordNotifier(const Settings& settings, std::string userAgent, Reenter reenter)
    : settings_(settings), userAgent_(std::move(userAgent)), reenter_(std::move(reenter)) {}

bool DiscordNotifier::Post(const std::string& eventId, const std::string& message,
                           const std::string& header, std::uint64_t recordId) {
    try {
        if (stopped_) {
            return false;
        }
        auto post = MakeDiscordPost(settings_, message, header);
        if (!post) {
            return false;
        }
        for (const auto& cut : post->Cuts) {
            PluginLog()->warn("{}: {}", Announcement(eventId), cut);
        }
        const std::uint64_t id = nextId_++;
        attempts_[id] = Attempt{eventId, recordId, std::move(*post), {}, settings_.Debug};
        Send(id);
    } catch (const std::exception& e) {
        Fail(eventId, recordId, e.what());
    }
    return true;
}

void DiscordNotifier::Send(std::uint64_t id) {
    const Attempt& attempt = attempts_.at(id);
    Remember(attempt.EventId, "sending");
    const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>
        done = [reenter = reenter_, id](bool success, std::string result,
                                        std::unordered_map<std::string, std::string> headers) {
            reenter([&](DiscordNotifier& notifier) {
                notifier.OnAnswer(id, success, result, headers);
            });
        };
    if (!API::Requests::Get().CreatePostRequest(
            attempt.Post.Url, done, attempt.Post.Body, "application/json",
            {"Content-Type: application/json", "User-Agent: " + userAgent_})) {
        const std::string eventId = attempt.EventId;
        const std::uint64_t recordId = attempt.RecordId;
        attempts_.erase(id);
        Fail(eventId, recordId, "the request could not be made");
    }
}

void DiscordNotifier::OnAnswer(std::uint64_t id, bool success, const std::string& result,
                               const std::unordered_map<std::string, std::string>& headers) {
    const auto found = attempts_.find(id);
    if (found == attempts_.end()) {
        return;
    }
    Attempt& attempt = found->second;
    const DiscordAnswer answer = ReadDiscordAnswer(success, result, headers, attempt.Retries);
    const std::string about = Announcement(attempt.EventId);
    switch (answer.Outcome) {
        case DiscordAnswer::Kind::Posted: {
            if (attempt.Debug) {
                PluginLog()->info("Message sent to discord");
            }
            const int retried =
                attempt.Retries.RateLimited + (attempt.Retries.AfterFailure ? 1 : 0);
            Remember(attempt.EventId, retried == 0 ? "posted"
                                      : retried == 1
                                          ? "posted after 1 retry"
                                          : "posted after " + std::to_string(retried) + " retries");
            Finish(attempt.RecordId, last_->Outcome);
            break;
        }
        case DiscordAnswer::Kind::Retry: {
            PluginLog()->warn("{} failed: {}, retried after {} s", about, answer.What,
                              answer.RetrySeconds);
            Remember(attempt.EventId,
                     "retrying in " + std::to_string(answer.RetrySeconds) + " s: " + answer.What);
            const std::function<void()> retry = [reenter = reenter_, id] {
                reenter([id](DiscordNotifier& notifier) { notifier.Retry(id); });
            };
            API::Timer::Get().DelayExecute(RetryTimerIdentifier(), retry, answer.RetrySeconds);
            return;
        }
        case DiscordAnswer::Kind::Failed:
            PluginLog()->warn("{} failed: {}", about, answer.What);
            Remember(attempt.EventId, "failed: " + answer.What);
            Finish(attempt.RecordId, last_->Outcome);
            break;
        case DiscordAnswer::Kind::Stop:
            PluginLog()->warn("{} failed: {}; no more posts until quorvane.reload", about,
                              answer.What);
            stopped_ = true;
            Remember(attempt.EventId,
                     "posting stopped: " + answer.What + "; quorvane.reload starts it again");
            Finish(attempt.RecordId, "failed: " + answer.What);
            break;
    }
    attempts_.erase(found);
}

void DiscordNotifier::Retry(std::uint64_t id) {
    if (!attempts_.contains(id)) {
        return;
    }
    if (stopped_) {
        Finish(attempts_.at(id).RecordId, "not retried: posting stopped");
        attempts_.erase(id);
        return;
    }
    Send(id);
}

void DiscordNotifier::Fail(const std::string& eventId, std::uint64_t recordId,
                           const std::string& what) {
    PluginLog()->warn("{} failed: {}", Announcement(eventId), what);
    Remember(eventId, "failed: " + what);
    Finish(recordId, "failed: " + what);
}

void DiscordNotifier::Finish(std::uint64_t recordId, const std::string& outcome) {
    if (finished_) {
        finished_(recordId, outcome);
    }
}

void DiscordNotifier::Remember(const std::string& eventId, std::string outcome) {
    last_ = LastPost{eventId, std::move(outcome), std::chrono::steady_clock::now()};
}

void DiscordNotifier::Restart() {
    stopped_ = false;
}

void DiscordNotifier::DropTimers() {
    API::Timer::Get().UnloadTimer(RetryTimerIdentifier());
    attempts_.clear();
}

}  // namespace quorvane
