#include "API/Timer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

#include "Host/Timers.h"
#include "HostInternal.h"
#include "Module.h"

namespace asahost {
namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
    Clock::time_point due;
    std::function<void()> callback;
    std::string identifier;
    std::filesystem::path owner;
    int delaySeconds;
    unsigned long long sequence = 0;
};

// Checks its timers once a game second (scaled), like the framework on the game thread, and
// runs the due callbacks one after another on its own thread.
class TimerService {
  public:
    void Start(double timeScale) {
        std::lock_guard lock(mutex_);
        if (thread_.joinable()) {
            return;
        }
        period_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / (timeScale > 0 ? timeScale : 1.0)));
        if (period_ <= Clock::duration::zero()) {
            period_ = Clock::duration(1);
        }
        stopping_ = false;
        thread_ = std::thread([this] { Run(); });
    }

    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
            thread_.join();
        }
        std::lock_guard lock(mutex_);
        pending_.clear();
    }

    void Add(Entry entry) {
        std::lock_guard lock(mutex_);
        entry.sequence = nextSequence_++;
        pending_.push_back(std::move(entry));
    }

    void Drop(const std::filesystem::path& module) {
        std::unique_lock lock(mutex_);
        const bool fromCallback = std::this_thread::get_id() == thread_.get_id();
        // A running callback of the module may arm new timers until it returns: drop those too.
        for (;;) {
            pending_.remove_if([&](const Entry& e) {
                if (!module::SameFile(e.owner, module)) {
                    return false;
                }
                Log().info("Dropped timer {} ({} s)", e.identifier, e.delaySeconds);
                return true;
            });
            if (fromCallback || !running_ || !module::SameFile(running_->owner, module)) {
                return;
            }
            Log().info("Waiting for timer {} to return", running_->identifier);
            idle_.wait(lock,
                       [&] { return !running_ || !module::SameFile(running_->owner, module); });
        }
    }

    std::vector<PendingTimer> Pending() {
        std::lock_guard lock(mutex_);
        std::vector<PendingTimer> out;
        for (const auto& e : pending_) {
            out.push_back({e.identifier, e.owner.string(), e.delaySeconds});
        }
        return out;
    }

    Clock::duration Period() {
        std::lock_guard lock(mutex_);
        return period_;
    }

    unsigned long long Fired() {
        std::lock_guard lock(mutex_);
        return fired_;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        auto nextTick = Clock::now() + period_;
        while (!stopping_) {
            wake_.wait_until(lock, nextTick, [&] { return stopping_; });
            if (stopping_) {
                break;
            }
            const auto now = Clock::now();
            if (now < nextTick) {
                continue;
            }
            nextTick += period_;
            if (nextTick < now) {
                nextTick = now + period_;  // fell behind: no burst of catch-up ticks
            }
            // Only timers armed before this tick; those a callback arms wait for a later one.
            const auto limit = nextSequence_;
            while (!stopping_) {
                auto entry = TakeDue(now, limit);
                if (!entry) {
                    break;
                }
                running_ = Running{entry->identifier, entry->owner};
                lock.unlock();
                RunOne(*entry);
                entry.reset();  // release the callable before its code can go away
                lock.lock();
                running_.reset();
                ++fired_;
                idle_.notify_all();
            }
        }
    }

    std::optional<Entry> TakeDue(Clock::time_point now, unsigned long long limit) {
        auto best = pending_.end();
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->due <= now && it->sequence < limit &&
                (best == pending_.end() || it->due < best->due)) {
                best = it;
            }
        }
        if (best == pending_.end()) {
            return std::nullopt;
        }
        std::optional<Entry> entry(std::move(*best));
        pending_.erase(best);
        return entry;
    }

    static void RunOne(const Entry& entry) {
        try {
            entry.callback();
        } catch (const std::exception& e) {
            Log().error("Timer {} threw: {}", entry.identifier, e.what());
        } catch (...) {
            Log().error("Timer {} threw an unknown exception", entry.identifier);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::list<Entry> pending_;
    struct Running {
        std::string identifier;
        std::filesystem::path owner;
    };
    std::optional<Running> running_;
    unsigned long long nextSequence_ = 0;
    Clock::duration period_{std::chrono::seconds(1)};
    bool stopping_ = false;
    unsigned long long fired_ = 0;
    std::thread thread_;
};

TimerService& Timers() {
    static TimerService service;
    return service;
}

}  // namespace

void StartTimers(double timeScale) {
    Timers().Start(timeScale);
}
void StopTimers() {
    Timers().Stop();
}
void DropTimersOf(const std::filesystem::path& module) {
    Timers().Drop(module);
}
std::vector<PendingTimer> PendingTimers() {
    return Timers().Pending();
}
unsigned long long TimersFired() {
    return Timers().Fired();
}

}  // namespace asahost

namespace API {

Timer& Timer::Get() {
    static Timer timer;
    return timer;
}

void Timer::DelayExecuteInternal(const std::function<void()>& callback, int delaySeconds,
                                 const FString& identifier, const FString& owner) {
    using namespace asahost;
    const auto delay = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(Timers().Period()) * (delaySeconds > 0 ? delaySeconds : 0));
    Timers().Add({std::chrono::steady_clock::now() + delay, callback,
                  ToUtf8(*identifier, identifier.Len()), ToPath(owner), delaySeconds});
}

}  // namespace API
