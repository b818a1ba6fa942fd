// The library entry: the plugin starts when the loader attaches it and stops when it is
// detached. Its one export, Plugin_Unload, is what the framework calls before it frees the
// library, outside the loader's lock: there the plugin's threads can be waited for.

#include "core/Lifecycle.h"

#if defined(_WIN32)
#include <windows.h>

extern "C" __declspec(dllexport) void Plugin_Unload() {
    quorvane::StopPlugin();
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        quorvane::Load();
    } else if (reason == DLL_PROCESS_DETACH) {
        quorvane::Unload();
    }
    return TRUE;
}
#else
extern "C" __attribute__((visibility("default"))) void Plugin_Unload() {
    quorvane::StopPlugin();
}

__attribute__((constructor)) static void OnAttach() {
    quorvane::Load();
}
__attribute__((destructor)) static void OnDetach() {
    quorvane::Unload();
}
#endif
