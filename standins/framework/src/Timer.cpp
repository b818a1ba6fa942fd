#include "Timer.h"

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <optional>

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
    bool dropped = false;
};

// The framework's timers: a list that the game thread checks once a game second. A pass runs,
// in the order armed, every timer that was pending when it began and is due, with no guard
// around the callbacks; then, as the framework does, it forgets every one-shot timer due by
// the pass's time, so that a timer armed during the pass with a delay below zero never runs.
class TimerService {
  public:
    void Start(double timeScale) {
        std::lock_guard lock(mutex_);
        gameSecond_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / (timeScale > 0 ? timeScale : 1.0)));
        if (gameSecond_ <= Clock::duration::zero()) {
            gameSecond_ = Clock::duration(1);
        }
        nextPass_ = Clock::now() + gameSecond_;
    }

    void Stop() {
        std::list<std::shared_ptr<Entry>> pending;
        {
            std::lock_guard lock(mutex_);
            pending.swap(pending_);
        }
    }

    void Add(Entry entry) {
        std::lock_guard lock(mutex_);
        entry.due = Clock::now() + gameSecond_ * entry.delaySeconds;
        pending_.push_back(std::make_shared<Entry>(std::move(entry)));
    }

    void DropIdentifier(const std::string& identifier) {
        std::list<std::shared_ptr<Entry>> dropped;
        std::lock_guard lock(mutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if ((*it)->identifier == identifier) {
                (*it)->dropped = true;
                dropped.push_back(*it);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // On the game thread, so that no callback of the module can be running.
    void Drop(const std::filesystem::path& module) {
        std::list<std::shared_ptr<Entry>> dropped;
        {
            std::lock_guard lock(mutex_);
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (module::SameFile((*it)->owner, module)) {
                    Log().info("Dropped timer {} ({} s)", (*it)->identifier, (*it)->delaySeconds);
                    (*it)->dropped = true;
                    dropped.push_back(*it);
                    it = pending_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        // The callables go here, before the module's code does.
    }

    // `ahead`: the pending timers come that much nearer first, and the pass runs at once,
    // whenever the last one ran.
    void Pass(std::optional<Clock::duration> ahead = std::nullopt) {
        std::list<std::shared_ptr<Entry>> snapshot;
        Clock::time_point now;
        {
            std::lock_guard lock(mutex_);
            now = Clock::now();
            if (ahead) {
                for (const auto& entry : pending_) {
                    entry->due -= *ahead;
                }
            } else if (now < nextPass_) {
                return;
            }
            nextPass_ += gameSecond_;
            if (nextPass_ < now) {
                nextPass_ = now + gameSecond_;  // fell behind: no burst of catch-up passes
            }
            snapshot = pending_;
        }
        bool ran = false;
        for (const auto& entry : snapshot) {
            {
                std::lock_guard lock(mutex_);
                if (entry->dropped || now < entry->due) {
                    continue;
                }
                entry->dropped = true;
                ++fired_;
            }
            ran = true;
            entry->callback();
        }
        if (!ran) {
            return;
        }
        std::list<std::shared_ptr<Entry>> forgotten;
        std::lock_guard lock(mutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if ((*it)->dropped || now >= (*it)->due) {
                (*it)->dropped = true;
                forgotten.push_back(*it);
                it = pending_.erase(it);
            } else {
                ++it;
            }
        }
    }

    void Advance(int gameSeconds) {
        Clock::duration ahead;
        {
            std::lock_guard lock(mutex_);
            ahead = gameSecond_ * gameSeconds;
        }
        Pass(ahead);
    }

    std::vector<PendingTimer> Pending() {
        std::lock_guard lock(mutex_);
        std::vector<PendingTimer> out;
        for (const auto& e : pending_) {
            out.push_back({e->identifier, e->owner.string(), e->delaySeconds});
        }
        return out;
    }

    unsigned long long Fired() {
        std::lock_guard lock(mutex_);
        return fired_;
    }

  private:
    std::mutex mutex_;
    std::list<std::shared_ptr<Entry>> pending_;
    Clock::duration gameSecond_{std::chrono::seconds(1)};
    Clock::time_point nextPass_{};
    unsigned long long fired_ = 0;
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
void RunTimerPass() {
    Timers().Pass();
}
void AdvanceTimers(int gameSeconds) {
    Timers().Advance(gameSeconds);
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
    NoteFrameworkCall("API::Timer::DelayExecute");
    Timers().Add(
        {{}, callback, ToUtf8(*identifier, identifier.Len()), ToPath(owner), delaySeconds});
}

void Timer::UnloadTimerInternal(const FString& identifier) {
    asahost::NoteFrameworkCall("API::Timer::UnloadTimer");
    asahost::Timers().DropIdentifier(asahost::ToUtf8(*identifier, identifier.Len()));
}

}  // namespace API
