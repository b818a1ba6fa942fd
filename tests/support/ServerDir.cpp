#include "ServerDir.h"

#include <fstream>
#include <random>

namespace testing_support {

ServerDir::ServerDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("quorvane-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(PluginDir());
    std::filesystem::create_directories(path_ / "ArkApi" / "Logs");
    const std::filesystem::path plugin = QUORVANE_PLUGIN_FILE;
    std::filesystem::create_symlink(plugin, PluginDir() / plugin.filename());
    std::filesystem::copy_file(plugin.parent_path() / "PluginInfo.json",
                               PluginDir() / "PluginInfo.json");
}

ServerDir::~ServerDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ServerDir::PluginDir() const {
    return path_ / "ArkApi" / "Plugins" / "Quorvane";
}

void ServerDir::WriteConfig(const std::string& text) const {
    WriteFile("ArkApi/Plugins/Quorvane/config.json", text);
}

void ServerDir::WriteFile(const std::filesystem::path& relative, const std::string& text) const {
    std::ofstream(path_ / relative, std::ios::binary) << text;
}

std::filesystem::path GameServerProgram() {
    return GAMESERVER_FILE;
}

}  // namespace testing_support
