#include <windows.h>

#include <system_error>
#include <thread>

#include "platform/FileLock.h"

namespace quorvane::platform {

FileLock::FileLock(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    // Shared in every way, so that only the lock excludes.
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "cannot open " + file.string());
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) !=
            0) {
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION || std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(handle);
            throw std::system_error(static_cast<int>(error), std::system_category(),
                                    "cannot lock " + file.string());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
}

FileLock::~FileLock() {
    // Closing the last handle releases the lock.
    CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

}  // namespace quorvane::platform
