#include <windows.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

struct WorkerStart {
    std::function<void()> work;
    HMODULE module;
};

struct WorkerList {
    std::mutex mutex;
    std::vector<HANDLE> threads;

    ~WorkerList() {
        for (HANDLE thread : threads) {
            CloseHandle(thread);
        }
    }

    // Forgets the workers that have ended. Called with `mutex` held.
    void ReapEnded() {
        std::erase_if(threads, [](HANDLE thread) {
            if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0) {
                return false;
            }
            CloseHandle(thread);
            return true;
        });
    }
};

WorkerList& Workers() {
    static WorkerList list;
    return list;
}

DWORD WINAPI WorkerMain(LPVOID parameter) {
    const HMODULE module = static_cast<WorkerStart*>(parameter)->module;
    {
        std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
        start->work();
    }
    // Drops the worker's hold on the plugin and ends the thread without returning into it:
    // this may be what unloads the plugin.
    FreeLibraryAndExitThread(module, 0);
}

}  // namespace

void StartWorker(std::function<void()> work) {
    HMODULE module = nullptr;
    // A hold on the plugin's own module: it stays loaded until the worker is done.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&WorkerMain), &module)) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "GetModuleHandleExW");
    }
    auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(work), module});
    auto& list = Workers();
    std::lock_guard lock(list.mutex);
    list.ReapEnded();
    HANDLE thread = CreateThread(nullptr, 0, &WorkerMain, start.get(), 0, nullptr);
    if (thread == nullptr) {
        const auto error = static_cast<int>(GetLastError());
        FreeLibrary(module);
        throw std::system_error(error, std::system_category(), "CreateThread");
    }
    start.release();
    list.threads.push_back(thread);
}

bool WaitForWorkers(std::chrono::milliseconds limit) {
    auto& list = Workers();
    std::lock_guard lock(list.mutex);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (HANDLE thread : list.threads) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        WaitForSingleObject(thread, static_cast<DWORD>(left.count() > 0 ? left.count() : 0));
    }
    list.ReapEnded();
    return list.threads.empty();
}

}  // namespace quorvane::platform
