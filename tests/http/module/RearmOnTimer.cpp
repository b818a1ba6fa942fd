// A plugin for the timer tests: when it is loaded it arms a timer whose callback arms the next
// one before it returns, as an event chain does.

#include "Timer.h"

extern "C" void QvTimerTestFired();

namespace {

void Fired() {
    QvTimerTestFired();
    API::Timer::Get().DelayExecute(FString("rearm"), &Fired, 0);
}

__attribute__((constructor)) void ArmOnLoad() {
    API::Timer::Get().DelayExecute(FString("rearm"), &Fired, 0);
}

}  // namespace
