#pragma once
// A throw-away server directory with the plugin installed as admins install it.

#include <filesystem>
#include <string>

namespace testing_support {

class ServerDir {
  public:
    ServerDir();
    ~ServerDir();
    ServerDir(const ServerDir&) = delete;
    ServerDir& operator=(const ServerDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path PluginDir() const;
    // Writes ArkApi/Plugins/Quorvane/config.json.
    void WriteConfig(const std::string& text) const;
    void WriteFile(const std::filesystem::path& relative, const std::string& text) const;

  private:
    std::filesystem::path path_;
};

std::filesystem::path GameServerProgram();

}  // namespace testing_support
