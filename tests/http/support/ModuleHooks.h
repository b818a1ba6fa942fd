#pragma once
// The test executable's side of the test module (module/PostOnLoad.cpp): the module calls
// these exported functions, so that the tests see what the host does with its request
// without the module's code having to outlive its unloading.

#include <chrono>
#include <string>

extern "C" {
// The URL the module posts to when it is loaded.
const char* QvHttpTestUrl();
// Called by the module's completion; blocks while the test holds completions.
void QvHttpTestCompletion(bool success);
// Called when the host destroys the module's completion callable.
void QvHttpTestReleased();
}

namespace http_testing::module_hooks {

void Reset(const std::string& url);
int Completions();
int Released();
// Completions that start from now on wait until Release.
void Hold();
void Release();
// Until a completion of the module has started; false at the time-out.
bool WaitForEntered(std::chrono::milliseconds timeout);
// Increasing stamps, to order events of different threads.
unsigned long Stamp();
// The stamp taken when the last completion returned.
unsigned long CompletionReturnedAt();

}  // namespace http_testing::module_hooks
