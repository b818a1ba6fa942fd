#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quorvane {

// ArkApi/Plugins/Quorvane/config.json below the host's current directory.
std::filesystem::path ConfigFilePath();

// Reads config.json into EventSettings and ConfigDocument. Throws the JSON library's errors
// unchanged, and a std::runtime_error when the file cannot be opened.
void ReadConfig();

// The same for a given file; `serverKey` is asked once, after Debug has been read.
void ReadConfig(const std::filesystem::path& file, const std::function<std::string()>& serverKey);

}  // namespace quorvane
