#include <windows.h>

#include <system_error>

#include "../Module.h"

namespace asahost::module {

void* Open(const std::filesystem::path& path, std::string& error) {
    HMODULE handle = LoadLibraryW(path.c_str());
    if (handle == nullptr) {
        error = std::system_category().message(static_cast<int>(GetLastError()));
    }
    return reinterpret_cast<void*>(handle);
}

void Close(void* handle) {
    FreeLibrary(reinterpret_cast<HMODULE>(handle));
}

void* Symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
}

std::filesystem::path PathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(module, buffer, static_cast<DWORD>(std::size(buffer)));
    return std::filesystem::path(std::wstring(buffer, length));
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

const char* Suffix() {
    return ".dll";
}

}  // namespace asahost::module
