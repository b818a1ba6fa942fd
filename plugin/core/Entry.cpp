// The library entry: the plugin starts when the loader attaches it and stops when it is
// detached. It exports nothing.

#include "core/Lifecycle.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        quorvane::Load();
    } else if (reason == DLL_PROCESS_DETACH) {
        quorvane::Unload();
    }
    return TRUE;
}
#else
__attribute__((constructor)) static void OnAttach() {
    quorvane::Load();
}
__attribute__((destructor)) static void OnDetach() {
    quorvane::Unload();
}
#endif
