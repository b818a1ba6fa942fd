#include <windows.h>

#include "StopSignal.h"

namespace standin {
namespace {
HANDLE stopEvent = nullptr;

BOOL WINAPI OnConsoleControl(DWORD) {
    SetEvent(stopEvent);
    return TRUE;
}
}  // namespace

void PrepareStopSignal() {
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool WaitForStop(std::optional<double> seconds) {
    const DWORD timeout =
        seconds ? static_cast<DWORD>(*seconds > 0 ? *seconds * 1000 : 0) : INFINITE;
    return WaitForSingleObject(stopEvent, timeout) == WAIT_OBJECT_0;
}

}  // namespace standin
