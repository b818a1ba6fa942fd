#include "ModuleHooks.h"

#include <atomic>
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
    bool hold = false;
    bool entered = false;
    unsigned long returnedAt = 0;
};

State& Hooks() {
    static State state;
    return state;
}

std::atomic<unsigned long> stamps{0};

}  // namespace

void Reset(const std::string& url) {
    std::lock_guard lock(Hooks().mutex);
    Hooks().url = url;
    Hooks().completions = 0;
    Hooks().released = 0;
    Hooks().hold = false;
    Hooks().entered = false;
    Hooks().returnedAt = 0;
}

int Completions() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().completions;
}

int Released() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().released;
}

void Hold() {
    std::lock_guard lock(Hooks().mutex);
    Hooks().hold = true;
}

void Release() {
    std::lock_guard lock(Hooks().mutex);
    Hooks().hold = false;
    Hooks().changed.notify_all();
}

bool WaitForEntered(std::chrono::milliseconds timeout) {
    std::unique_lock lock(Hooks().mutex);
    return Hooks().changed.wait_for(lock, timeout, [] { return Hooks().entered; });
}

unsigned long Stamp() {
    return ++stamps;
}

unsigned long CompletionReturnedAt() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().returnedAt;
}

}  // namespace http_testing::module_hooks

using namespace http_testing::module_hooks;

extern "C" const char* QvHttpTestUrl() {
    std::lock_guard lock(Hooks().mutex);
    return Hooks().url.c_str();
}

extern "C" void QvHttpTestCompletion(bool) {
    std::unique_lock lock(Hooks().mutex);
    ++Hooks().completions;
    Hooks().entered = true;
    Hooks().changed.notify_all();
    Hooks().changed.wait(lock, [] { return !Hooks().hold; });
    Hooks().returnedAt = Stamp();
}

extern "C" void QvHttpTestReleased() {
    std::lock_guard lock(Hooks().mutex);
    ++Hooks().released;
}
