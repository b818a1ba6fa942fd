#include <windows.h>

#include <shellapi.h>

#include <ctime>
#include <system_error>

#include "platform/Platform.h"

namespace quorvane::platform {

std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return {};
    }
    std::vector<std::wstring> out(arguments, arguments + count);
    LocalFree(arguments);
    return out;
}

std::chrono::local_seconds ServerLocalTime(std::chrono::sys_seconds time) {
    using namespace std::chrono;
    const std::time_t seconds = system_clock::to_time_t(time);
    std::tm local{};
    localtime_s(&local, &seconds);
    const year_month_day day{year(local.tm_year + 1900), month(local.tm_mon + 1),
                             std::chrono::day(local.tm_mday)};
    return local_days(day) + hours(local.tm_hour) + minutes(local.tm_min) +
           std::chrono::seconds(local.tm_sec);
}

// MoveFileExW replaces a file that is there; a plain rename would refuse to.
void WriteFileAtomically(const std::filesystem::path& file, std::string_view contents) {
    std::filesystem::path temporary = file;
    temporary += L".";
    // Unique to this process and thread: other servers may share the folder.
    temporary += std::to_wstring(GetCurrentProcessId());
    temporary += L".";
    temporary += std::to_wstring(GetCurrentThreadId());
    temporary += L".tmp";
    const auto fail = [&](const std::string& what) {
        const DWORD error = GetLastError();
        DeleteFileW(temporary.c_str());
        throw std::system_error(static_cast<int>(error), std::system_category(),
                                what + " " + file.string());
    };
    HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        fail("cannot create a file beside");
    }
    DWORD written = 0;
    const bool ok = WriteFile(handle, contents.data(), static_cast<DWORD>(contents.size()),
                              &written, nullptr) != 0 &&
                    written == contents.size() && FlushFileBuffers(handle) != 0;
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(handle);
    if (!ok) {
        SetLastError(error);
        fail("cannot write beside");
    }
    if (MoveFileExW(temporary.c_str(), file.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        fail("cannot replace");
    }
}

std::wstring OwnModulePath() {
    HMODULE module = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&OwnModulePath), &module);
    wchar_t path[260] = {};
    const DWORD length = GetModuleFileNameW(module, path, 260);
    return std::wstring(path, length);
}

}  // namespace quorvane::platform
