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
// in name order.
ARK_API void LoadPlugins();
// Unloads in reverse order. Before a plugin's code goes away its pending timers and requests
// are dropped and any of its callbacks that is running is waited for.
ARK_API void UnloadPlugins();
ARK_API std::vector<PluginModule> LoadedPlugins();

}  // namespace asahost
