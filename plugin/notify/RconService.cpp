#include "notify/RconService.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/PluginLog.h"
#include "notify/Announcement.h"

namespace quorvane {

// One event's delivery in progress.
struct RconService::JobState {
    RconJob job;
    std::vector<RconDelivery> deliveries;  // the own server's first, then one per target
    std::size_t unfinished = 0;
};

RconService::RconService(std::unique_ptr<platform::ClientEnv> env)
    : env_(std::move(env)), external_(ExternalSender(*env_)), builtin_(BuiltinSender()) {}

RconService::~RconService() {
    Stop();
}

void RconService::Start() {
    std::lock_guard lock(mutex_);
    if (!stopping_) {
        StartThreads(kMaxClients);
    }
}

std::optional<std::string> RconService::Submit(RconJob job) {
    if (job.BroadcastOnly() && job.Targets.empty()) {
        return std::nullopt;  // no server to tell
    }
    std::string refusal;
    {
        std::unique_lock lock(mutex_);
        if (stopping_) {
            refusal = "RCON delivery is stopping";
        } else if (tasks_.size() >= kMaxWaiting) {
            refusal = std::to_string(tasks_.size()) + " RCON messages are waiting already";
        } else if (auto none = StartThreads(
                       (std::min)(kMaxClients, busy_ + tasks_.size() + 1 + job.Targets.size()))) {
            refusal = std::move(*none);
        } else {
            auto state = std::make_shared<JobState>();
            state->job = std::move(job);
            state->deliveries.reserve(1 + state->job.Targets.size());
            ++unfinishedJobs_;
            if (state->job.BroadcastOnly()) {
                HandOutBroadcasts(state);  // the one woken wakes the next: see Run
            } else {
                state->deliveries.push_back({true, &state->job.Own, {}});
                state->unfinished = 1;
                tasks_.push_back({std::move(state), 0});
            }
            // Woken after the unlock, a worker does not wait at once for the lock still held.
            lock.unlock();
            work_.notify_one();
            return std::nullopt;
        }
    }
    if (job.End) {
        PluginLog()->warn("End of event {} not sent: {}", job.EventId, refusal);
    } else if (job.Warning) {
        PluginLog()->warn("Warning of event {} not sent: {}", job.EventId, refusal);
    } else {
        PluginLog()->warn("Event {} not started: {}", job.EventId, refusal);
    }
    return refusal;
}

std::optional<std::string> RconService::StartThreads(std::size_t wanted) {
    while (threads_.size() < wanted) {
        try {
            threads_.push_back(env_->StartThread([this] { Run(); }));
            startFailing_ = false;
        } catch (const std::exception& e) {
            if (threads_.empty()) {
                return std::string("no thread for the RCON delivery could be started: ") + e.what();
            }
            // Once, until a start succeeds again: it is tried again at every event.
            if (!std::exchange(startFailing_, true)) {
                PluginLog()->warn(
                    "RCON delivery goes on with {} thread(s); no more could be "
                    "started: {}",
                    threads_.size(), e.what());
            }
            break;
        }
    }
    return std::nullopt;
}

void RconService::Stop() {
    std::vector<std::unique_ptr<platform::PluginThread>> threads;
    std::vector<std::shared_ptr<JobState>> cutOff;  // every message of the job was waiting
    std::size_t dropped = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        stopping_ = true;
        dropped = tasks_.size();
        // A message never sent still ends its job, so that no event is taken for delivered.
        for (const Task& task : tasks_) {
            task.job->deliveries[task.index].Exit = {platform::ClientExit::Kind::Ended, 0, {}};
            if (task.job->deliveries[task.index].EventCommand) {
                CutOffBroadcasts(*task.job);
            }
            if (--task.job->unfinished == 0) {
                cutOff.push_back(task.job);
            }
        }
        tasks_.clear();
        threads.swap(threads_);
    }
    external_->EndAll();
    builtin_->EndAll();
    work_.notify_all();
    threads.clear();  // joins: each thread ends as soon as its client has been ended
    for (const auto& state : cutOff) {
        Finish(*state);
    }
    {
        std::lock_guard lock(mutex_);
        unfinishedJobs_ = 0;
    }
    idle_.notify_all();
    if (dropped > 0 && PluginLog()) {
        PluginLog()->info("Unloading: {} RCON message(s) not sent", dropped);
    }
}

bool RconService::WaitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, limit, [&] { return unfinishedJobs_ == 0; });
}

std::vector<RconService::ServerDelivery> RconService::LastDeliveries() {
    std::lock_guard lock(mutex_);
    std::vector<ServerDelivery> out;
    for (const auto& [key, delivery] : last_) {
        out.push_back(delivery);
    }
    return out;
}

void RconService::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        if (stopping_) {
            return;
        }
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        ++busy_;
        // One thread is woken per task taken, by the thread that takes it: never a crowd at
        // once, and never more than the game thread's one wake for an event.
        if (!tasks_.empty()) {
            work_.notify_one();
        }
        lock.unlock();
        // Nothing may leave a thread of the plugin's: the game would end.
        try {
            RunTask(task);
        } catch (const std::exception& e) {
            PluginLog()->error("Error sending rcon command: {}", e.what());
        } catch (...) {
            PluginLog()->error("Error sending rcon command: unknown error");
        }
        lock.lock();
        --busy_;
    }
}

void RconService::RunTask(const Task& task) {
    JobState& state = *task.job;
    const RconDelivery& delivery = state.deliveries[task.index];
    const RconJob& job = state.job;
    platform::ClientExit exit;
    bool asServerChat = false;
    try {
        if (job.Announce && !delivery.EventCommand) {
            exit = Announce(job, *delivery.Target, asServerChat);
        } else {
            exit =
                SenderFor(job).Send(job, *delivery.Target,
                                    delivery.EventCommand ? job.EventCommand : job.BroadcastText);
        }
    } catch (const std::exception& e) {
        PluginLog()->error("Error sending rcon command: {} (event {} to {})", e.what(), job.EventId,
                           delivery.Target->ServerKey);
        exit = {platform::ClientExit::Kind::Error, 0, e.what()};
    }

    std::unique_lock lock(mutex_);
    state.deliveries[task.index].Exit = std::move(exit);
    state.deliveries[task.index].AsServerChat = asServerChat;
    if (delivery.EventCommand && stopping_) {
        CutOffBroadcasts(state);
    } else if (delivery.EventCommand) {
        // The own server has its command: now the broadcasts, side by side.
        HandOutBroadcasts(task.job);
        work_.notify_one();
    }
    if (--state.unfinished == 0) {
        lock.unlock();
        Finish(state);
        lock.lock();
        if (--unfinishedJobs_ == 0) {
            idle_.notify_all();
        }
    }
}

void RconService::HandOutBroadcasts(const std::shared_ptr<JobState>& state) {
    for (const auto& target : state->job.Targets) {
        state->deliveries.push_back({false, &target, {}});
        tasks_.push_back({state, state->deliveries.size() - 1});
    }
    state->unfinished += state->job.Targets.size();
}

void RconService::CutOffBroadcasts(JobState& state) {
    for (const auto& target : state.job.Targets) {
        state.deliveries.push_back({false, &target, {platform::ClientExit::Kind::Ended, 0, {}}});
    }
}

platform::ClientExit RconService::Announce(const RconJob& job, const RconTarget& target,
                                           bool& asServerChat) {
    std::string answer;
    auto exit = builtin_->SendForAnswer(job, target, job.BroadcastText, answer);
    if (exit.kind != platform::ClientExit::Kind::Exited || exit.code != 0) {
        return exit;
    }
    switch (ReadAnnounceAnswer(answer)) {
        case AnnounceAnswer::Shown:
            return exit;
        case AnnounceAnswer::Refused:
            return {platform::ClientExit::Kind::Failed, 0,
                    "its Quorvane did not show the announcement: " +
                        answer.substr(std::string_view(kAnnounceRefused).size())};
        case AnnounceAnswer::NoQuorvane:
            break;
    }
    const std::string server =
        target.ServerKey + " (" + target.RconIP + ":" + std::to_string(target.RconPort) + ")";
    bool first = false;
    {
        std::lock_guard lock(mutex_);
        first = withoutQuorvane_.insert(server).second;
    }
    if (first) {
        PluginLog()->warn(
            "{} has no Quorvane that takes {}: its players get the announcements as "
            "ServerChat, in ASCII (said once until the next reload)",
            server, kAnnounceCommand);
    }
    asServerChat = true;
    return builtin_->Send(job, target, job.BroadcastFallback);
}

void RconService::Reloaded() {
    std::lock_guard lock(mutex_);
    withoutQuorvane_.clear();
}

RconSender& RconService::SenderFor(const RconJob& job) const {
    return job.Client == RconClientKind::Builtin ? *builtin_ : *external_;
}

// Logs the job's report and remembers each server's outcome, the failure of either message
// winning over a delivery.
void RconService::Finish(JobState& state) {
    for (const auto& line : ReportDeliveries(state.job, state.deliveries)) {
        if (line.Warning) {
            PluginLog()->warn("{}", line.Text);
        } else {
            PluginLog()->info("{}", line.Text);
        }
    }
    const auto now = std::chrono::steady_clock::now();
    std::map<std::string, ServerDelivery> outcomes;
    for (const auto& delivery : state.deliveries) {
        const auto& target = *delivery.Target;
        auto reason = FailureReason(delivery.Exit, state.job.Deadline);
        auto [entry, added] = outcomes.try_emplace(
            target.ServerKey,
            ServerDelivery{target.ServerKey, target.RconIP + ":" + std::to_string(target.RconPort),
                           "delivered", now});
        auto& outcome = entry->second.Outcome;
        if (reason.empty() && delivery.AsServerChat && outcome == "delivered") {
            outcome = "delivered as ServerChat";
        }
        if (reason.empty() || outcome == reason) {
            continue;
        }
        outcome = outcome.starts_with("delivered") ? reason : outcome + "; " + reason;
    }
    if (finished_) {
        std::map<std::string, std::string> texts;
        for (const auto& [key, outcome] : outcomes) {
            texts[key] = outcome.Outcome;
        }
        finished_(state.job, texts);
    }
    std::lock_guard lock(mutex_);
    for (auto& [key, outcome] : outcomes) {
        last_[key] = std::move(outcome);
    }
}

}  // namespace quorvane
