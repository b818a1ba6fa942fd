#include "notify/RconFanout.h"

#include <cmath>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "core/PluginLog.h"
#include "notify/RconReport.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

// Client processes at a time, and client runs that may wait for one of them.
constexpr std::size_t kMaxClients = 16;
constexpr std::size_t kMaxWaiting = 1024;

// One event's delivery in progress.
struct JobState {
    RconJob job;
    std::vector<RconDelivery> deliveries;  // the own server's first, then one per target
    std::size_t unfinished = 0;
};

// One client run: delivery `index` of a job.
struct Task {
    std::shared_ptr<JobState> job;
    std::size_t index;
};

class Service {
  public:
    // All threads at once, at load: the game thread never waits for one to start.
    Service() {
        for (std::size_t i = 0; i < kMaxClients; ++i) {
            threads_.push_back(std::make_unique<platform::PluginThread>([this] { Run(); }));
        }
    }

    // Ends every client and joins the threads; the service takes nothing more.
    void Stop() {
        std::vector<std::unique_ptr<platform::PluginThread>> threads;
        std::size_t dropped = 0;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            dropped = tasks_.size();
            tasks_.clear();
            threads.swap(threads_);
        }
        platform::EndClients();
        work_.notify_all();
        threads.clear();  // joins: each thread ends as soon as its client has been ended
        {
            std::lock_guard lock(mutex_);
            unfinishedJobs_ = 0;
        }
        idle_.notify_all();
        if (dropped > 0 && PluginLog()) {
            PluginLog()->info("Unloading: {} RCON message(s) not sent", dropped);
        }
    }

    bool Submit(RconJob job) {
        std::string refusal;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                refusal = "RCON delivery is stopping";
            } else if (tasks_.size() >= kMaxWaiting) {
                refusal = std::to_string(tasks_.size()) + " RCON messages are waiting already";
            } else {
                auto state = std::make_shared<JobState>();
                state->job = std::move(job);
                state->deliveries.reserve(1 + state->job.Targets.size());
                state->deliveries.push_back({true, &state->job.Own, {}});
                state->unfinished = 1;
                tasks_.push_back({std::move(state), 0});
                ++unfinishedJobs_;
                work_.notify_one();
                return true;
            }
        }
        PluginLog()->warn("Event {} not started: {}", job.EventId, refusal);
        return false;
    }

    bool WaitUntilIdle(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        return idle_.wait_for(lock, limit, [&] { return unfinishedJobs_ == 0; });
    }

    std::vector<RconFanout::ServerDelivery> LastDeliveries() {
        std::lock_guard lock(mutex_);
        std::vector<RconFanout::ServerDelivery> out;
        for (const auto& [key, delivery] : last_) {
            out.push_back(delivery);
        }
        return out;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
            if (stopping_) {
                return;
            }
            Task task = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            const auto exit = RunClient(*task.job, task.index);
            lock.lock();
            JobState& state = *task.job;
            state.deliveries[task.index].Exit = exit;
            if (task.index == 0 && !stopping_) {
                // The own server has its command: now the broadcasts, side by side.
                for (const auto& target : state.job.Targets) {
                    state.deliveries.push_back({false, &target, {}});
                    tasks_.push_back({task.job, state.deliveries.size() - 1});
                }
                state.unfinished += state.job.Targets.size();
                work_.notify_all();
            }
            if (--state.unfinished == 0) {
                lock.unlock();
                Report(state);
                lock.lock();
                if (--unfinishedJobs_ == 0) {
                    idle_.notify_all();
                }
            }
        }
    }

    static platform::ClientExit RunClient(const JobState& state, std::size_t index) {
        const RconDelivery& delivery = state.deliveries[index];
        const RconJob& job = state.job;
        return platform::RunClient(
            ClientArguments(job.ClientPath, *delivery.Target,
                            delivery.EventCommand ? job.EventCommand : job.BroadcastText),
            job.Deadline);
    }

    void Report(const JobState& state) {
        Remember(state);
        for (const auto& line : ReportDeliveries(state.job, state.deliveries)) {
            if (line.Warning) {
                PluginLog()->warn("{}", line.Text);
            } else {
                PluginLog()->info("{}", line.Text);
            }
        }
    }

    // Each server's outcome, the failure of either message winning over a delivery.
    void Remember(const JobState& state) {
        const auto now = std::chrono::steady_clock::now();
        std::map<std::string, RconFanout::ServerDelivery> outcomes;
        for (const auto& delivery : state.deliveries) {
            if (delivery.Exit.kind == platform::ClientExit::Kind::Ended) {
                continue;
            }
            const auto& target = *delivery.Target;
            auto reason = FailureReason(delivery.Exit, state.job.Deadline);
            auto [entry, added] = outcomes.try_emplace(
                target.ServerKey,
                RconFanout::ServerDelivery{target.ServerKey,
                                           target.RconIP + ":" + std::to_string(target.RconPort),
                                           "delivered", now});
            if (!reason.empty()) {
                entry->second.Outcome = entry->second.Outcome == "delivered"
                                            ? reason
                                            : entry->second.Outcome + "; " + reason;
            }
        }
        std::lock_guard lock(mutex_);
        for (auto& [key, outcome] : outcomes) {
            last_[key] = std::move(outcome);
        }
    }

    std::mutex mutex_;
    std::map<std::string, RconFanout::ServerDelivery> last_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::deque<Task> tasks_;
    std::vector<std::unique_ptr<platform::PluginThread>> threads_;
    std::size_t unfinishedJobs_ = 0;
    bool stopping_ = false;
};

// The running service, made at Start and gone at Stop. Only trivially destructible statics
// here: at process exit a destructor of ours must not run before the library's detach, which
// may still stop the service.
std::mutex& LifetimeMutex() {
    static std::mutex mutex;
    return mutex;
}
Service*& Current() {
    static Service* service = nullptr;
    return service;
}

}  // namespace

std::vector<std::string> ClientArguments(const std::string& clientPath, const RconTarget& target,
                                         const std::string& text) {
    std::vector<std::string> arguments{clientPath, "-H" + target.RconIP,
                                       "-P" + std::to_string(target.RconPort),
                                       "-p" + target.RconPassword};
    // A getopt-style client would read "-pvp zone event-" as a password, "--" as nothing.
    if (text.starts_with('-')) {
        arguments.push_back("--");
    }
    arguments.push_back(text);
    return arguments;
}

RconJob MakeRconJob(const Settings& s, const std::string& eventId, const std::string& eventCommand,
                    const std::string& broadcastText) {
    RconJob job;
    job.EventId = eventId;
    job.EventCommand = eventCommand;
    job.BroadcastText = broadcastText;
    job.ClientPath = s.MCRconPath;
    job.Own = s.RconSettings;
    job.Targets = s.RconInfos;
    job.Deadline = std::chrono::milliseconds(
        static_cast<long long>(std::ceil(s.RconClientTimeoutSeconds * 1000)));
    job.Debug = s.Debug;
    return job;
}

namespace RconFanout {

void Start() {
    std::lock_guard lock(LifetimeMutex());
    if (Current() == nullptr) {
        platform::AllowClients();
        Current() = new Service;
    }
}

void Stop() {
    std::lock_guard lock(LifetimeMutex());
    if (Service* service = std::exchange(Current(), nullptr)) {
        service->Stop();
        delete service;
    }
}

bool Submit(RconJob job) {
    std::lock_guard lock(LifetimeMutex());
    if (Current() == nullptr) {
        PluginLog()->warn("Event {} not started: RCON delivery is not running", job.EventId);
        return false;
    }
    return Current()->Submit(std::move(job));
}

bool WaitUntilIdle(std::chrono::milliseconds limit) {
    std::lock_guard lock(LifetimeMutex());
    return Current() == nullptr || Current()->WaitUntilIdle(limit);
}

std::vector<ServerDelivery> LastDeliveries() {
    std::lock_guard lock(LifetimeMutex());
    return Current() == nullptr ? std::vector<ServerDelivery>{} : Current()->LastDeliveries();
}

}  // namespace RconFanout
}  // namespace quorvane
