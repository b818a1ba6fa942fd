#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "API/Base.h"

namespace asahost {

struct PluginModule {
    // As asked for: the folder's stem, or the name of plugins.load.
    std::string name;
    // As the framework builds it from the name: ArkApi/Plugins/NAME/NAME.so.
    std::filesystem::path path;
    // The library's file as found, in its own letter case.
    std::filesystem::path file;
    void* handle = nullptr;
    // From its PluginInfo.json.
    std::string fullName;
    std::string description;
    float version = 1.0f;
    std::vector<std::string> dependencies;
    bool preventUnloading = false;
};

// Loads, for every folder below ArkApi/Plugins in name order, the plugin named by the folder's
// stem (ArkApi/Plugins/<Name>/<Name>.so, .dll on Windows), reading each PluginInfo.json as the
// framework does; a plugin refused is logged as a warning. A <Name>.so.ArkApi waiting beside
// the library replaces it first. After its library is loaded, the plugin's exported
// Plugin_Init runs, outside the library's load notification. Then the framework's
// config.json says whether plugins are reloaded automatically (see GameTick). Folders and
// files are found in any letter case, as on Windows; a plugin's name is compared as written.
// On the game thread.
ARK_API void LoadPlugins();
// One plugin by its folder's name, as `plugins.load NAME` does; throws std::runtime_error
// with the framework's reason. The same library under a name in another letter case is loaded
// again, as the framework does: its Plugin_Init runs once more.
ARK_API void LoadPlugin(const std::string& name);
// One plugin, as `plugins.unload NAME` does: its exported Plugin_Unload, if any, then its
// requests, timers, commands and hooks are dropped, then its library is closed. Throws
// std::runtime_error with the framework's reason. On the game thread, so that none of its
// callbacks can be running.
ARK_API void UnloadPlugin(const std::string& name);
// Every plugin, in reverse order, as UnloadPlugin. The real framework never does this at a
// server's exit; the game stand-in does it only when asked to (--unload-at-exit).
ARK_API void UnloadPlugins();
// Every plugin, in reverse order, as a loader that never calls Plugin_Unload: what the
// framework holds of the plugin is dropped, then its library is closed. The library's detach
// notification runs then (if nothing else holds the library), under the loader lock on
// Windows; what it does there is logged as for the load notification.
ARK_API void FreePluginsWithoutUnload();
ARK_API std::vector<PluginModule> LoadedPlugins();

// The framework's console and RCON commands plugins.load NAME and plugins.unload NAME, with its
// answers ("Successfully loaded plugin", "Failed to unload plugin - REASON", "Plugin not
// found"...) and log lines. Once the game's strings can be made; they go when the framework
// stops.
ARK_API void RegisterLoaderCommands();

}  // namespace asahost
