#include <dlfcn.h>
#include <link.h>

#include <map>
#include <mutex>
#include <system_error>

#include "../HostInternal.h"
#include "../Module.h"
#include "API/Helpers/Helpers.h"

namespace asahost::module {
namespace {

// The libraries this loader opened, by file: how often, and the path each was first opened
// by. The file system here tells letter cases apart; Windows', which the loader stands in
// for, does not.
struct Opened {
    std::filesystem::path name;
    int count = 0;
};

std::mutex& OpenedMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, Opened>& OpenedFiles() {
    static std::map<std::string, Opened> files;
    return files;
}

}  // namespace

void* Open(const std::filesystem::path& file, const std::filesystem::path& openedAs,
           std::string& error) {
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
        return nullptr;
    }
    std::lock_guard lock(OpenedMutex());
    auto& opened = OpenedFiles()[FileOf(handle).string()];
    if (opened.count++ == 0) {
        opened.name = openedAs;
    }
    return handle;
}

void Close(void* handle) {
    {
        std::lock_guard lock(OpenedMutex());
        const auto opened = OpenedFiles().find(FileOf(handle).string());
        if (opened != OpenedFiles().end() && --opened->second.count == 0) {
            OpenedFiles().erase(opened);
        }
    }
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

std::filesystem::path FileOf(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
        return {};
    }
    return map->l_name;
}

std::filesystem::path NameOf(const void* address) {
    auto file = PathOf(address);
    std::lock_guard lock(OpenedMutex());
    const auto opened = OpenedFiles().find(file.string());
    return opened != OpenedFiles().end() ? opened->second.name : file;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

void CopyOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    {
        std::lock_guard lock(OpenedMutex());
        for (const auto& [file, opened] : OpenedFiles()) {
            if (SameFile(file, to)) {
                throw std::filesystem::filesystem_error(
                    "cannot copy over a loaded library", from, to,
                    std::make_error_code(std::errc::text_file_busy));
            }
        }
    }
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

const char* Suffix() {
    return ".so";
}

}  // namespace asahost::module

namespace asahost {
FString ModuleFileOf(const void* address) {
    return FromUtf8(module::NameOf(address).string());
}
}  // namespace asahost
