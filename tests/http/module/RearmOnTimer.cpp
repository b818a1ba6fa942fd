// A plugin for the timer unloading test: when it is loaded it arms a timer whose callback arms
// the next one before it returns, as an event chain does.

#include <dlfcn.h>

#include <functional>
#include <string>

#include "API/Timer.h"

extern "C" void QvTimerTestFired();

namespace {

FString OwnPath() {
    Dl_info info{};
    dladdr(reinterpret_cast<const void*>(&OwnPath), &info);
    return FString(info.dli_fname);
}

void Arm() {
    API::Timer::Get().DelayExecuteInternal(
        [] {
            QvTimerTestFired();
            Arm();
        },
        0, FString("rearm"), OwnPath());
}

__attribute__((constructor)) void ArmOnLoad() {
    Arm();
}

}  // namespace
