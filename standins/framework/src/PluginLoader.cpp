#include "Host/PluginLoader.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Host/Runtime.h"
#include "HostInternal.h"
#include "Module.h"
#include "PluginInfo.h"

namespace asahost {
namespace {

// The framework version that plugins' MinApiVersion is checked against.
constexpr float kApiVersion = 1.0f;

std::mutex& LoaderMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<PluginModule>& Loaded() {
    static std::vector<PluginModule> plugins;
    return plugins;
}

// The folder's PluginInfo.json; without one, the defaults.
nlohmann::json PluginInfoIn(const std::filesystem::path& folder) {
    if (std::ifstream file(folder / "PluginInfo.json"); file) {
        return ReadPluginInfo(&file);
    }
    return ReadPluginInfo(nullptr);
}

// Loads one plugin, or throws with the reason. Like the framework, a field that was not read
// fails where it is first used: MinApiVersion before the library is loaded, the rest after
// (the library then stays loaded, unlisted).
void LoadPlugin(const std::string& name, const std::filesystem::path& folder,
                const std::filesystem::path& file) {
    auto info = PluginInfoIn(folder);
    const auto required = static_cast<float>(info["MinApiVersion"]);
    if (required != .0f && kApiVersion < required) {
        throw std::runtime_error("Plugin " + name + " requires newer API version!");
    }
    std::string error;
    void* handle = module::Open(file, error);
    if (handle == nullptr) {
        throw std::runtime_error("Failed to load plugin - " + name + "\nError: " + error);
    }
    if (auto* init = reinterpret_cast<void (*)()>(module::Symbol(handle, "Plugin_Init"))) {
        init();
    }
    const std::string fullName = info["FullName"];
    const std::string description = info["Description"];
    const auto version = static_cast<float>(info["Version"]);
    const std::vector<std::string> dependencies = info["Dependencies"];
    Loaded().push_back({name, file, handle});
    std::ostringstream line;
    line << "Loaded plugin " << (fullName.empty() ? name : fullName) << " V" << version << " ("
         << description << ")";
    Log().info("{}", line.str());
}

}  // namespace

nlohmann::json ReadPluginInfo(std::istream* file) {
    nlohmann::json read = nlohmann::json::object();
    nlohmann::json info = nlohmann::json::object();
    if (file != nullptr) {
        *file >> info;
    }
    try {
        read["FullName"] = info.value("FullName", "");
        read["Description"] = info.value("Description", "No description");
        read["Version"] = info.value("Version", 1.00f);
        read["MinApiVersion"] = info.value("MinApiVersion", .0f);
        read["Dependencies"] = info.value("Dependencies", std::vector<std::string>{});
        read["PreventUnloading"] = info.value("PreventUnloading", false);
    } catch (const std::exception& e) {
        Log().warn("(API::PluginManager::ReadPluginInfo) {}", e.what());
    }
    return read;
}

void LoadPlugins() {
    std::lock_guard lock(LoaderMutex());
    const auto pluginsDir =
        std::filesystem::absolute(CurrentOptions().serverDir) / "ArkApi" / "Plugins";
    std::error_code ec;
    if (!std::filesystem::is_directory(pluginsDir, ec)) {
        Log().warn("No plugin folder {}", pluginsDir.string());
        return;
    }
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(pluginsDir, ec)) {
        if (entry.is_directory()) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const auto& folder : folders) {
        const std::string name = folder.filename().string();
        const auto file = folder / (name + module::Suffix());
        try {
            if (!std::filesystem::exists(file, ec)) {
                throw std::runtime_error("Plugin " + name + " does not exist");
            }
            LoadPlugin(name, folder, file);
        } catch (const std::exception& e) {
            Log().warn("(API::PluginManager::LoadAllPlugins) {}", e.what());
        }
    }
}

void UnloadPlugins() {
    std::lock_guard lock(LoaderMutex());
    auto& plugins = Loaded();
    while (!plugins.empty()) {
        PluginModule plugin = plugins.back();
        plugins.pop_back();
        // Its own clean-up first, outside the loader's lock, where it may wait for its threads.
        if (auto* unload =
                reinterpret_cast<void (*)()>(module::Symbol(plugin.handle, "Plugin_Unload"))) {
            unload();
        }
        // Nothing of the plugin's may run once its code is gone.
        DropRequestsOf(plugin.path);
        DropTimersOf(plugin.path);
        DropCommandsOf(plugin.path);
        DropHooksOf(plugin.path);
        ReclaimSinkFormatters();
        module::Close(plugin.handle);
        Log().info("Unloaded plugin {}", plugin.name);
    }
}

std::vector<PluginModule> LoadedPlugins() {
    std::lock_guard lock(LoaderMutex());
    return Loaded();
}

}  // namespace asahost
