#include <dlfcn.h>
#include <link.h>

#include <map>
#include <mutex>
#include <string>
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

// Module names as the framework's timers ask for them, by link map: made once per module, as
// the loader's own lookup on Windows costs next to nothing. Forgotten whenever a library is
// opened or closed, since a closed one's link map may be reused. Kept as code units: an
// FString's memory is the game's, not to be freed while a library loads.
struct Names {
    std::map<const link_map*, std::wstring> byMap;
    unsigned long long generation = 0;
};

Names& KnownNames() {
    static Names names;
    return names;
}

void ForgetNames() {
    KnownNames().byMap.clear();
    ++KnownNames().generation;
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
    ForgetNames();
    auto& opened = OpenedFiles()[FileOf(handle).string()];
    if (opened.count++ == 0) {
        opened.name = openedAs;
    }
    return handle;
}

void Close(void* handle) {
    {
        std::lock_guard lock(OpenedMutex());
        ForgetNames();
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
    dl_find_object found{};
    if (_dl_find_object(const_cast<void*>(address), &found) != 0) {
        return {};
    }
    unsigned long long generation = 0;
    {
        std::lock_guard lock(module::OpenedMutex());
        auto& names = module::KnownNames();
        if (const auto known = names.byMap.find(found.dlfo_link_map); known != names.byMap.end()) {
            return FString(static_cast<int>(known->second.size()), known->second.data());
        }
        generation = names.generation;
    }
    FString name = FromUtf8(module::NameOf(address).string());
    std::lock_guard lock(module::OpenedMutex());
    auto& names = module::KnownNames();
    if (names.generation == generation) {
        names.byMap.emplace(found.dlfo_link_map,
                            std::wstring(*name, static_cast<std::size_t>(name.Len())));
    }
    return name;
}
}  // namespace asahost
