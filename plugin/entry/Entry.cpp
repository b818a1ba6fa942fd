// The library entry. The framework calls the two exports on the game thread, outside the
// loader's lock: Plugin_Init right after it has loaded the library, where the whole load
// happens (reading files, hooking, starting the plugin's threads), and Plugin_Unload before it
// frees the library, where the whole stop happens. The load notification itself runs under
// the loader lock and does nothing. At process exit the framework calls nothing, and the
// detach notification must do nothing: the other threads are gone, perhaps in the middle of
// holding a lock of ours or the framework's.

#include "entry/Plugin.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" __declspec(dllexport) void Plugin_Init() {
    quorvane::Plugin::Load();
}

extern "C" __declspec(dllexport) void Plugin_Unload() {
    quorvane::Plugin::Stop();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH) {
        // Not null when the process is exiting.
        quorvane::Plugin::Detach(reserved != nullptr);
    }
    return TRUE;
}
#else
extern "C" int __cxa_atexit(void (*)(void*), void*, void*);
extern "C" void* __dso_handle;

namespace {

// At exit the process's exit handlers run before the libraries' destructors; when the library
// is closed, its own handlers run after its destructor: the mirror of DllMain's reserved
// pointer. Registered for this library itself, so that it goes with the library (a plain
// atexit may outlive it, as under ThreadSanitizer's).
bool processExiting = false;

void MarkProcessExiting(void*) {
    processExiting = true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void Plugin_Init() {
    quorvane::Plugin::Load();
}

extern "C" __attribute__((visibility("default"))) void Plugin_Unload() {
    quorvane::Plugin::Stop();
}

__attribute__((constructor)) static void OnAttach() {
    __cxa_atexit(&MarkProcessExiting, nullptr, &__dso_handle);
}
__attribute__((destructor)) static void OnDetach() {
    quorvane::Plugin::Detach(processExiting);
}
#endif
