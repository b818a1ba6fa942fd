#include "config/ConfigReader.h"

#include <fstream>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "base/PluginName.h"
#include "config/ConfigParser.h"

namespace quorvane {
namespace {

void Log(const ConfigNote& note) {
    switch (note.level) {
        case ConfigNote::Level::Info:
            PluginLog()->info("{}", note.text);
            break;
        case ConfigNote::Level::Warning:
            PluginLog()->warn("{}", note.text);
            break;
        case ConfigNote::Level::Error:
            PluginLog()->error("{}", note.text);
            break;
    }
}

}  // namespace

std::filesystem::path ConfigFilePath() {
    return std::filesystem::path(AsaApi::Tools::GetCurrentDir()) / "ArkApi" / "Plugins" /
           std::string(kPluginName) / "config.json";
}

std::string PluginVersion() {
    std::ifstream stream(ConfigFilePath().parent_path() / "PluginInfo.json");
    const auto info = nlohmann::json::parse(stream, nullptr, false);
    const auto version = info.is_object() ? info.find("Version") : info.end();
    return version != info.end() && version->is_number() ? version->dump() : "1.0";
}

Settings ReadConfig(const std::filesystem::path& file,
                    const std::function<std::string()>& serverKey) {
    std::ifstream stream(file);
    if (!stream) {
        throw ConfigError(file.string(), {"", "Cannot open " + file.string(), "cannot be opened"});
    }
    nlohmann::json document;
    try {
        stream >> document;
    } catch (const nlohmann::json::exception& e) {
        throw ConfigError(file.string(), {"", e.what(), ReasonOf(e.what())});
    }
    stream.close();

    ParsedConfig parsed = ParseConfig(std::move(document), serverKey, ZoneFolderBeside(file));
    for (const auto& note : parsed.notes) {
        Log(note);
    }
    if (parsed.problem) {
        throw ConfigError(file.string(), *parsed.problem);
    }
    return std::move(parsed.settings);
}

}  // namespace quorvane
