#pragma once
// A throw-away server directory with the Windows plugin installed as admins install it
// (ArkApi/Plugins/Quorvane/{Quorvane.dll, PluginInfo.json}), and the cluster file that the
// Wine tests start from.

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace wine_testing {

class WindowsServerDir {
  public:
    // The directory's name has a blank in it, like "C:\Program Files\...".
    WindowsServerDir();
    ~WindowsServerDir();
    WindowsServerDir(const WindowsServerDir&) = delete;
    WindowsServerDir& operator=(const WindowsServerDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path PluginDir() const;
    void WriteConfig(const std::string& text) const;
    void WriteConfig(const nlohmann::json& config) const { WriteConfig(config.dump(2)); }
    // A copy of a Windows RCON client (quorvane-rcon.exe, or patient-rcon.exe, which has no
    // time-out of its own) in a folder with a blank in its name; its path.
    std::filesystem::path InstallClient(const std::string& program = "quorvane-rcon.exe") const;
    // The zone files the Windows build ships beside the plugin (zoneinfo/), as admins copy them.
    void InstallZones() const;
    // Every file below the directory, as relative paths with '/', sorted.
    std::vector<std::string> Files() const;

  private:
    std::filesystem::path path_;
};

// One server, "Island" ("The Island"), with its RCON at 127.0.0.1:`ownPort` (password "pw")
// and one event, "meteor" ("Meteor Shower") at "1000 -2000 350"; Discord off. The first event
// comes after one minute, the next ones `minutesBetween` minutes apart.
nlohmann::json IslandConfig(const std::string& clientPath, int ownPort, int minutesBetween);

}  // namespace wine_testing
