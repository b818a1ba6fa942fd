#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "config/Settings.h"

namespace quorvane {

// ArkApi/Plugins/Quorvane/config.json below the host's current directory.
std::filesystem::path ConfigFilePath();

// The plugin's version as its PluginInfo.json beside config.json writes the number ("1.0");
// the framework's own default, 1.0, when the file or the number is not there.
std::string PluginVersion();

// The settings of this server from `file`, logging what the reading says; `serverKey` is
// asked once, after Debug has been read. Throws a ConfigError whose what() is the JSON
// library's message unchanged (or "Cannot open FILE"), with the file and the JSON pointer of
// the offending value.
Settings ReadConfig(const std::filesystem::path& file,
                    const std::function<std::string()>& serverKey);

}  // namespace quorvane
