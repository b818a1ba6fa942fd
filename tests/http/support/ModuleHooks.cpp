#include "ModuleHooks.h"

#include <condition_variable>
#include <mutex>

namespace http_testing::module_hooks {
namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string url;
    int completions = 0;
    int released = 0;
    int timers = 0;
    std::thread::id completionThread;
    std::thread::id timerThread;
};

State& Hooks() {
    static State state;
    return state;
}

}  // namespace

void Reset(const std::string& url) {
    std::lock_guard lock(Hooks().mutex);
    auto& hooks = Hooks();
    hooks.url = url;
    hooks.completions = hooks.released = hooks.timers = 0;
    hooks.completionThread = hooks.timerThread = {};
}

int Completions() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().completions;
}

int Released() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().released;
}

int TimersFired() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().timers;
}

std::thread::id CompletionThread() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().completionThread;
}

std::thread::id TimerThread() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().timerThread;
}

bool WaitForCompletion(std::chrono::milliseconds timeout) {
    std::unique_lock lock(Hooks().mutex);
    return Hooks().changed.wait_for(lock, timeout, [] { return Hooks().completions > 0; });
}

bool WaitForTimers(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(Hooks().mutex);
    return Hooks().changed.wait_for(lock, timeout, [&] { return Hooks().timers >= count; });
}

}  // namespace http_testing::module_hooks

using http_testing::module_hooks::Hooks;

extern "C" const char* QvHttpTestUrl() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().url.c_str();
}

extern "C" void QvHttpTestCompletion(bool) {
    std::lock_guard lock(Hooks().mutex);
    ++Hooks().completions;
    Hooks().completionThread = std::this_thread::get_id();
    Hooks().changed.notify_all();
}

extern "C" void QvHttpTestReleased() {
    std::lock_guard lock(Hooks().mutex);
    ++Hooks().released;
    Hooks().changed.notify_all();
}

extern "C" void QvTimerTestFired() {
    std::lock_guard lock(Hooks().mutex);
    ++Hooks().timers;
    Hooks().timerThread = std::this_thread::get_id();
    Hooks().changed.notify_all();
}
