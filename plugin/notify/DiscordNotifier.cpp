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

std::string PostOf(const std::string& eventId) {
    return "Discord announcement of event " + eventId;
}

}  // namespace

DiscordNotifier::DiscordNotifier(const Settings& settings, std::string userAgent, Reenter reenter,
                                 std::chrono::milliseconds verifiedTimeout)
    : settings_(settings),
      userAgent_(std::move(userAgent)),
      reenter_(std::move(reenter)),
      verified_(
          [reenter = reenter_](const std::function<void(VerifiedTransport&)>& what) {
              reenter([&](DiscordNotifier& notifier) { what(notifier.verified_); });
          },
          verifiedTimeout) {}

bool DiscordNotifier::Post(const std::string& eventId, const DiscordEvent& event,
                           std::uint64_t recordId) {
    try {
        if (stopped_) {
            return false;
        }
        auto post = MakeDiscordPost(settings_, event);
        if (!post) {
            return false;
        }
        for (const auto& cut : post->Cuts) {
            PluginLog()->warn("{}: {}", PostOf(eventId), cut);
        }
        const std::uint64_t id = nextId_++;
        attempts_[id] =
            Attempt{eventId,         recordId, std::move(*post), settings_.DiscordWebhook, {},
                    settings_.Debug, false};
        Send(id);
    } catch (const std::exception& e) {
        Fail(eventId, recordId, e.what());
    }
    return true;
}

std::string DiscordNotifier::Replaced(const Attempt& attempt) const {
    if (attempt.Post.Url == DiscordPostUrl(settings_)) {
        return {};
    }
    return std::string(attempt.Webhook != settings_.DiscordWebhook ? "DiscordWebhook"
                                                                   : "DiscordThreadId") +
           " was changed by quorvane.reload";
}

void DiscordNotifier::Send(std::uint64_t id) {
    const Attempt& attempt = attempts_.at(id);
    Remember(attempt.EventId, "sending");
    DiscordTransport::Done done = [reenter = reenter_, id](DiscordReply reply) {
        reenter([&](DiscordNotifier& notifier) { notifier.OnAnswer(id, reply); });
    };
    DiscordTransport& transport =
        settings_.DiscordVerifiedTransport ? static_cast<DiscordTransport&>(verified_) : framework_;
    if (!transport.Send({attempt.Post.Url,
                         attempt.Post.Body,
                         "application/json",
                         {"Content-Type: application/json", "User-Agent: " + userAgent_}},
                        std::move(done))) {
        const std::string eventId = attempt.EventId;
        const std::uint64_t recordId = attempt.RecordId;
        attempts_.erase(id);
        Fail(eventId, recordId, "the request could not be made");
    }
}

void DiscordNotifier::OnAnswer(std::uint64_t id, const DiscordReply& reply) {
    const auto found = attempts_.find(id);
    if (found == attempts_.end()) {
        return;
    }
    Attempt& attempt = found->second;
    DiscordAnswer answer = ReadDiscordAnswer(reply, attempt.Retries, attempt.Post.ThreadId);
    // A webhook or thread a reload has replaced since the post was made gets no retry and
    // stops nothing.
    std::string replaced = Replaced(attempt);
    if (!replaced.empty() && (answer.Outcome == DiscordAnswer::Kind::Retry ||
                              answer.Outcome == DiscordAnswer::Kind::Stop)) {
        replaced = (answer.Outcome == DiscordAnswer::Kind::Retry ? "; not retried: "
                                                                 : "; posting goes on: ") +
                   replaced;
        answer.Outcome = DiscordAnswer::Kind::Failed;
    } else {
        replaced.clear();
    }
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
            PluginLog()->warn("{} failed: {}, retried after {} s", PostOf(attempt.EventId),
                              answer.What, answer.RetrySeconds);
            Remember(attempt.EventId,
                     "retrying in " + std::to_string(answer.RetrySeconds) + " s: " + answer.What);
            attempt.WaitingForRetry = true;
            const std::function<void()> retry = [reenter = reenter_, id] {
                reenter([id](DiscordNotifier& notifier) { notifier.Retry(id); });
            };
            API::Timer::Get().DelayExecute(RetryTimerIdentifier(), retry, answer.RetrySeconds);
            return;
        }
        case DiscordAnswer::Kind::Failed:
            Fail(attempt.EventId, attempt.RecordId, answer.What + replaced);
            break;
        case DiscordAnswer::Kind::Stop:
            StopPosting(attempt, answer);
            break;
    }
    attempts_.erase(found);
}

void DiscordNotifier::StopPosting(const Attempt& attempt, const DiscordAnswer& answer) {
    // One warning, however many posts were under way when the first answer said so.
    if (!std::exchange(stopped_, true)) {
        PluginLog()->warn("{} failed: {}; no more posts until quorvane.reload",
                          PostOf(attempt.EventId), answer.What);
        Remember(attempt.EventId,
                 "posting stopped: " + answer.What + "; quorvane.reload starts it again");
    }
    Finish(attempt.RecordId, "failed: " + answer.What);
}

void DiscordNotifier::Retry(std::uint64_t id) {
    const auto found = attempts_.find(id);
    if (found == attempts_.end()) {
        return;
    }
    found->second.WaitingForRetry = false;
    if (stopped_) {
        Finish(attempts_.at(id).RecordId, "not retried: posting stopped");
        attempts_.erase(id);
        return;
    }
    Send(id);
}

void DiscordNotifier::Fail(const std::string& eventId, std::uint64_t recordId,
                           const std::string& what) {
    PluginLog()->warn("{} failed: {}", PostOf(eventId), what);
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

void DiscordNotifier::Reloaded() {
    stopped_ = false;
    for (auto it = attempts_.begin(); it != attempts_.end();) {
        const Attempt& attempt = it->second;
        const std::string replaced = Replaced(attempt);
        if (!attempt.WaitingForRetry || replaced.empty()) {
            ++it;
            continue;
        }
        PluginLog()->warn("{} not retried: {}", PostOf(attempt.EventId), replaced);
        Remember(attempt.EventId, "not retried: " + replaced);
        Finish(attempt.RecordId, last_->Outcome);
        it = attempts_.erase(it);
    }
}

void DiscordNotifier::DropTimers() {
    API::Timer::Get().UnloadTimer(RetryTimerIdentifier());
    verified_.Stop();
    attempts_.clear();
}

}  // namespace quorvane
