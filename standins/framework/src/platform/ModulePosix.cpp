#include <dlfcn.h>

#include <system_error>

#include "../HostInternal.h"
#include "../Module.h"
#include "API/Helpers/Helpers.h"

namespace asahost::module {

void* Open(const std::filesystem::path& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
    }
    return handle;
}

void Close(void* handle) {
    dlclose(handle);
}

void* Symbol(void* handle, const char* name) {
    return dlsym(handle, name);
}

std::filesystem::path PathOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) {
        return {};
    }
    return info.dli_fname;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

const char* Suffix() {
    return ".so";
}

}  // namespace asahost::module

namespace asahost {
FString ModuleFileOf(const void* address) {
    return FromUtf8(module::PathOf(address).string());
}
}  // namespace asahost
