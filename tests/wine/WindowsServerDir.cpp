#include "WindowsServerDir.h"

#include <algorithm>
#include <fstream>
#include <random>

#include "WineEnvironment.h"

namespace wine_testing {

WindowsServerDir::WindowsServerDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("quorvane wine " + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(PluginDir());
    std::filesystem::create_directories(path_ / "ArkApi" / "Logs");
    // Copies, not links: the loader is to see the files where an admin puts them.
    for (const char* name : {"Quorvane.dll", "PluginInfo.json"}) {
        std::filesystem::copy_file(WindowsPluginDir() / name, PluginDir() / name);
    }
}

WindowsServerDir::~WindowsServerDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path WindowsServerDir::PluginDir() const {
    return path_ / "ArkApi" / "Plugins" / "Quorvane";
}

void WindowsServerDir::WriteConfig(const std::string& text) const {
    std::ofstream(PluginDir() / "config.json", std::ios::binary) << text;
}

std::filesystem::path WindowsServerDir::InstallClient(const std::string& program) const {
    const auto folder = path_ / "Rcon Tools";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(WindowsProgram(program), folder / program,
                               std::filesystem::copy_options::overwrite_existing);
    return folder / program;
}

void WindowsServerDir::InstallZones() const {
    std::filesystem::copy(WindowsPluginDir() / "zoneinfo", PluginDir() / "zoneinfo",
                          std::filesystem::copy_options::recursive);
}

std::vector<std::string> WindowsServerDir::Files() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
        if (!entry.is_directory()) {
            files.push_back(entry.path().lexically_relative(path_).generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

nlohmann::json IslandConfig(const std::string& clientPath, int ownPort, int minutesBetween) {
    return {
        {"Debug", false},
        {"DiscordWebhook", ""},
        {"DiscordWebhookColor", "15105570"},
        {"DiscordBroadcastHeader", "{Eventlabel}"},
        {"DiscordBroadcastMessage", "{Eventlabel}"},
        {"BroadcastStartEventMessage", "{Eventlabel} started on {Serverlabel}"},
        {"ServerEventsCommand", "StartWorldEvent"},
        {"MCRconPath", clientPath},
        {"Island",
         {{"Serverlabel", "The Island"},
          {"RconSettings",
           {{"RconIP", "127.0.0.1"}, {"RconPort", ownPort}, {"RconPassword", "pw"}}},
          {"StartEventOnBootSettings", {{"MinimumTimeToWait", 1}, {"MaximumTimeToWait", 1}}},
          {"TimeBetweenEvents",
           {{"MinimumTimeToNextEvent", minutesBetween},
            {"MaximumTimeToNextEvent", minutesBetween}}},
          {"RandomEvents",
           {{"meteor", {{"Eventlabel", "Meteor Shower"}, {"RandomCCCs", {"1000 -2000 350"}}}}}}}},
    };
}

}  // namespace wine_testing
