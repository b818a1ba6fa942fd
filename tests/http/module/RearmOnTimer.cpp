// A plugin for the timer tests: when it is initialised it arms a timer whose callback arms the next
// one before it returns, as an event chain does.

#include "Timer.h"

extern "C" void QvTimerTestFired();

namespace {

void Fired() {
    QvTimerTestFired();
    API::Timer::Get().DelayExecute(FString("rearm"), &Fired, 0);
}

void ArmOnLoad() {
    API::Timer::Get().DelayExecute(FString("rearm"), &Fired, 0);
}

}  // namespace

// The framework calls it once the library is loaded, outside the loader lock.
extern "C" __attribute__((visibility("default"))) void Plugin_Init() {
    ArmOnLoad();
}
