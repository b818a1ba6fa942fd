#include "Host/PluginLoader.h"

#include <algorithm>
#include <fstream>
#include <mutex>

#include <nlohmann/json.hpp>

#include "Host/Runtime.h"
#include "HostInternal.h"
#include "Module.h"

namespace asahost {
namespace {

// The framework version that plugins' MinApiVersion is checked against.
constexpr double kApiVersion = 1.0;

std::mutex& LoaderMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<PluginModule>& Loaded() {
    static std::vector<PluginModule> plugins;
    return plugins;
}

// False when PluginInfo.json asks for a newer framework; a missing or unreadable file is
// reported and the plugin is loaded all the same.
bool CheckPluginInfo(const std::string& name, const std::filesystem::path& folder) {
    std::ifstream file(folder / "PluginInfo.json");
    if (!file) {
        Log().warn("Plugin {} has no PluginInfo.json", name);
        return true;
    }
    try {
        nlohmann::json info;
        file >> info;
        const double minApi = info.value("MinApiVersion", 0.0);
        if (minApi > kApiVersion) {
            Log().error("Plugin {} needs API version {} (this is {})", name, minApi, kApiVersion);
            return false;
        }
        Log().info("Loading {} {} ({})", info.value("FullName", name),
                   info.value("Version", std::string("?")), info.value("Description", ""));
    } catch (const std::exception& e) {
        Log().warn("Plugin {}: unreadable PluginInfo.json: {}", name, e.what());
    }
    return true;
}

}  // namespace

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
        if (!std::filesystem::exists(file, ec)) {
            continue;
        }
        if (!CheckPluginInfo(name, folder)) {
            continue;
        }
        std::string error;
        void* handle = module::Open(file, error);
        if (handle == nullptr) {
            Log().error("Could not load plugin {}: {}", name, error);
            continue;
        }
        Loaded().push_back({name, file, handle});
        Log().info("Loaded plugin {}", name);
    }
}

void UnloadPlugins() {
    std::lock_guard lock(LoaderMutex());
    auto& plugins = Loaded();
    while (!plugins.empty()) {
        PluginModule plugin = plugins.back();
        plugins.pop_back();
        // Nothing of the plugin's may run once its code is gone.
        DropTimersOf(plugin.path);
        DropRequestsOf(plugin.path);
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
