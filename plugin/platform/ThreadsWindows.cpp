#include <windows.h>

#include <memory>
#include <system_error>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

struct Start {
    std::function<void()> work;
    HMODULE module;
};

DWORD WINAPI ThreadMain(LPVOID parameter) {
    const HMODULE module = static_cast<Start*>(parameter)->module;
    // The owner of the work reports its failures; whatever escapes it ends here, not the
    // process.
    try {
        std::unique_ptr<Start> start(static_cast<Start*>(parameter));
        start->work();
    } catch (...) {
    }
    // Drops the thread's hold on the plugin and ends without returning into its code.
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

struct PluginThread::State {
    HANDLE thread;
};

PluginThread::PluginThread(std::function<void()> work) {
    HMODULE module = nullptr;
    // A hold on the plugin's own module: it stays loaded until the thread is done.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&ThreadMain), &module)) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "GetModuleHandleExW");
    }
    auto start = std::make_unique<Start>(Start{std::move(work), module});
    HANDLE thread = CreateThread(nullptr, 0, &ThreadMain, start.get(), 0, nullptr);
    if (thread == nullptr) {
        const auto error = static_cast<int>(GetLastError());
        FreeLibrary(module);
        throw std::system_error(error, std::system_category(), "CreateThread");
    }
    start.release();
    state_ = std::make_unique<State>(State{thread});
}

PluginThread::~PluginThread() {
    WaitForSingleObject(state_->thread, INFINITE);
    CloseHandle(state_->thread);
}

}  // namespace quorvane::platform
