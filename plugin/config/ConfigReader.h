#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quorvane {

// ArkApi/Plugins/Quorvane/config.json below the host's current directory.
std::filesystem::path ConfigFilePath();

// Reads config.json into EventSettings and ConfigDocument, logging what it reads. Throws a
// ConfigError whose what() is the JSON library's message unchanged (or "Cannot open FILE"),
// with the file and the JSON pointer of the offending value; the settings are then unchanged.
void ReadConfig();

// The same for a given file; `serverKey` is asked once, after Debug has been read.
void ReadConfig(const std::filesystem::path& file, const std::function<std::string()>& serverKey);

}  // namespace quorvane
