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
};

// Loads every ArkApi/Plugins/<Name>/<Name>.so (.dll on Windows) below the server directory,
// in name order, reading each PluginInfo.json as the framework does; a plugin refused is
// logged as a warning. On the game thread.
ARK_API void LoadPlugins();
// Unloads in reverse order: the plugin's exported Plugin_Unload, if any, then its requests,
// timers, commands and hooks are dropped, then its library is closed. On the game thread, so that
// none of its callbacks can be running.
ARK_API void UnloadPlugins();
ARK_API std::vector<PluginModule> LoadedPlugins();

}  // namespace asahost
