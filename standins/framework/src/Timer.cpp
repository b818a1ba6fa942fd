#include "Timer.h"

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "Host/Timers.h"
#include "HostInternal.h"
#include "Module.h"

namespace asahost {
namespace {

// The framework's timers fall due by the wall clock; its passes come at the game's pace.
using Clock = std::chrono::system_clock;
using GameClock = std::chrono::steady_clock;

// The names are kept as given, as the framework keeps copies of its FStrings: arming a timer,
// once per event on the game thread, converts nothing.
struct Entry {
    Clock::time_point due;
    std::function<void()> callback;
    std::wstring identifier;
    std::wstring owner;
    int delaySeconds;
};

std::string Utf8Of(const std::wstring& units) {
    return ToUtf8(units.data(), static_cast<int>(units.size()));
}

// The timers a module owns are dropped by its path as the framework builds it from the plugin's
// name, which it compares with the path the module was loaded by, letter case included; the
// rest of the path may be spelt another way by the platform.
bool OwnedBy(const std::filesystem::path& owner, const std::filesystem::path& module) {
    if (owner.lexically_normal().generic_string() == module.lexically_normal().generic_string()) {
        return true;
    }
    return owner.filename() == module.filename() &&
           owner.parent_path().filename() == module.parent_path().filename() &&
           module::SameFile(owner, module);
}

// The framework's timers: a list that the game thread checks once a game second. A pass runs,
// in the order armed, every timer of a copy of the list taken when it began that is due, with
// no guard around the callbacks: one dropped by an earlier callback of the pass still runs.
// Then, as the framework does, it forgets every one-shot timer due by the pass's time, so that
// a timer armed during the pass with a delay below zero never runs.
class TimerService {
  public:
    void Start(double timeScale) {
        std::lock_guard lock(mutex_);
        gameSecond_ = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / (timeScale > 0 ? timeScale : 1.0)));
        if (gameSecond_ <= Clock::duration::zero()) {
            gameSecond_ = Clock::duration(1);
        }
        nextPass_ = GameClock::now() + gameSecond_;
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

    void DropIdentifier(std::wstring_view identifier) {
        std::list<std::shared_ptr<Entry>> dropped;
        std::lock_guard lock(mutex_);
        for (auto it = pending_.begin(); it != pending_.end();) {
            if ((*it)->identifier == identifier) {
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
                if (OwnedBy(ToPath((*it)->owner), module)) {
                    Log().info("Dropped timer {} ({} s)", Utf8Of((*it)->identifier),
                               (*it)->delaySeconds);
                    dropped.push_back(*it);
                    it = pending_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        // The callables go here, before the module's code does, unless a pass holds them.
    }

    // True when it was time for a pass. `ahead`: the pending timers come that much nearer
    // first, and the pass runs at once, whenever the last one ran.
    bool Pass(std::optional<Clock::duration> ahead = std::nullopt) {
        std::list<std::shared_ptr<Entry>> snapshot;
        Clock::time_point now;
        {
            std::lock_guard lock(mutex_);
            const auto tick = GameClock::now();
            if (ahead) {
                for (const auto& entry : pending_) {
                    entry->due -= *ahead;
                }
            } else if (tick < nextPass_) {
                return false;
            }
            nextPass_ += gameSecond_;
            if (nextPass_ < tick) {
                nextPass_ = tick + gameSecond_;  // fell behind: no burst of catch-up passes
            }
            now = Clock::now();
            snapshot = pending_;
        }
        bool ran = false;
        for (const auto& entry : snapshot) {
            if (now < entry->due) {
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                ++fired_;
            }
            ran = true;
            entry->callback();
        }
        if (ran) {
            std::list<std::shared_ptr<Entry>> forgotten;
            std::lock_guard lock(mutex_);
            for (auto it = pending_.begin(); it != pending_.end();) {
                if (now >= (*it)->due) {
                    forgotten.push_back(*it);
                    it = pending_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        return true;
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
            out.push_back({Utf8Of(e->identifier), ToPath(e->owner).string(), e->delaySeconds});
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
    GameClock::time_point nextPass_{};
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
bool RunTimerPass() {
    return Timers().Pass();
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
    Timers().Add({{},
                  callback,
                  {*identifier, static_cast<std::size_t>(identifier.Len())},
                  {*owner, static_cast<std::size_t>(owner.Len())},
                  delaySeconds});
}

void Timer::UnloadTimerInternal(const FString& identifier) {
    asahost::NoteFrameworkCall("API::Timer::UnloadTimer");
    asahost::Timers().DropIdentifier({*identifier, static_cast<std::size_t>(identifier.Len())});
}

}  // namespace API
