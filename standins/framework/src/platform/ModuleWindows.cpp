#include <windows.h>

#include <system_error>

#include "../Module.h"

namespace asahost::module {

// Windows finds the file in any letter case itself, and keeps the path a module was first
// loaded by as its name.
void* Open(const std::filesystem::path&, const std::filesystem::path& openedAs,
           std::string& error) {
    HMODULE handle = LoadLibraryW(openedAs.c_str());
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

std::filesystem::path FileOf(void* handle) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(handle), buffer,
                                            static_cast<DWORD>(std::size(buffer)));
    return std::filesystem::path(std::wstring(buffer, length));
}

std::filesystem::path PathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    return FileOf(module);
}

std::filesystem::path NameOf(const void* address) {
    return PathOf(address);
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

// The system's own copy: MinGW's std::filesystem::copy_file takes any two files on one drive
// for the same one (they all have inode 0) and refuses to overwrite.
void CopyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        throw std::filesystem::filesystem_error(
            "CopyFileW", from, to,
            std::error_code(static_cast<int>(GetLastError()), std::system_category()));
    }
}

const char* Suffix() {
    return ".dll";
}

}  // namespace asahost::module
