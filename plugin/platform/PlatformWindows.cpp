// winsock2.h must come before windows.h, which would bring the old winsock.h.
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <shellapi.h>

#include <ctime>

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

int LocalMinuteOfDay(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    localtime_s(&local, &seconds);
    return local.tm_hour * 60 + local.tm_min;
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

bool IsNumericAddress(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace quorvane::platform
