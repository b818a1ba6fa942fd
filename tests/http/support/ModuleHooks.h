#pragma once
// The test executable's side of the test modules (module/*.cpp): the modules call these
// exported functions, so that the tests see what the host does with their requests and timers
// without the modules' code having to outlive their unloading.

#include <chrono>
#include <string>
#include <thread>

extern "C" {
// The URL PostOnLoad posts to when it is loaded.
const char* QvHttpTestUrl();
// Called by PostOnLoad's completion.
void QvHttpTestCompletion(bool success);
// Called when the host destroys PostOnLoad's completion callable.
void QvHttpTestReleased();
// Called by RearmOnTimer's timer callback.
void QvTimerTestFired();
}

namespace http_testing::module_hooks {

void Reset(const std::string& url);
int Completions();
int Released();
int TimersFired();
// The threads the last completion and the last timer callback ran on.
std::thread::id CompletionThread();
std::thread::id TimerThread();
// Until a completion, or `count` timer callbacks, have run; false at the time-out.
bool WaitForCompletion(std::chrono::milliseconds timeout);
bool WaitForTimers(int count, std::chrono::milliseconds timeout);

}  // namespace http_testing::module_hooks
