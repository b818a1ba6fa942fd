#include <windows.h>

#include "../StopSignal.h"

namespace gameserver {
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

void WaitForStop(std::optional<double> seconds) {
    const DWORD timeout =
        seconds ? static_cast<DWORD>(*seconds > 0 ? *seconds * 1000 : 0) : INFINITE;
    WaitForSingleObject(stopEvent, timeout);
}

}  // namespace gameserver
