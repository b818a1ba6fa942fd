#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "API/Base.h"

namespace asahost {

struct PluginModule {
    std::string name;
    std::filesystem::path path;
    void* handle = nullptr;
    // From its PluginInfo.json.
    std::string fullName;
    std::string description;
    float version = 1.0f;
    std::vector<std::string> dependencies;
    bool preventUnloading = false;
};

// Loads every ArkApi/Plugins/<Name>/<Name>.so (.dll on Windows) below the server directory,
// in name order, reading each PluginInfo.json as the framework does; a plugin refused is
// logged as a warning. After its library is loaded, the plugin's exported Plugin_Init runs,
// outside the library's load notification. On the game thread.
ARK_API void LoadPlugins();
// One plugin by its folder's name, as `plugins.load NAME` does; throws std::runtime_error
// with the framework's reason.
ARK_API void LoadPlugin(const std::string& name);
// One plugin, as `plugins.unload NAME` does: its exported Plugin_Unload, if any, then its
// requests, timers, commands and hooks are dropped, then its library is closed. Throws
// std::runtime_error with the framework's reason. On the game thread, so that none of its
// callbacks can be running.
ARK_API void UnloadPlugin(const std::string& name);
// Every plugin, in reverse order, as UnloadPlugin. The real framework never does this at a
// server's exit; the game stand-in does it only when asked to (--unload-at-exit).
ARK_API void UnloadPlugins();
ARK_API std::vector<PluginModule> LoadedPlugins();

// The framework's console and RCON commands plugins.load NAME and plugins.unload NAME, with its
// answers ("Successfully loaded plugin", "Failed to unload plugin - REASON", "Plugin not
// found"...) and log lines. Once the game's strings can be made; they go when the framework
// stops.
ARK_API void RegisterLoaderCommands();

}  // namespace asahost
