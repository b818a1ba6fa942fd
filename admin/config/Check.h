#pragma once
// `quorvane-config check`: whether each server of a cluster file would load active, and every
// warning the file deserves, read through the plugin's own code.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace quorvane::admin {

class MapData;

struct ServerVerdict {
    std::string key;
    bool active = false;
    // When inactive: the value at fault, the reason, and the line the plugin logs.
    std::string pointer;
    std::string reason;
    std::string logged;
    // When active and posting: the most characters a filled post puts into its embeds.
    std::optional<std::size_t> discordEmbedCharacters;
    // When active with a TimeZone: its name, and the database it came from.
    std::optional<std::pair<std::string, std::string>> zone;
};

struct CheckWarning {
    std::string server;  // empty: the whole file
    std::string text;
};

struct CheckReport {
    std::string file;
    std::string unreadable;  // why the file is not a JSON document, or empty
    std::vector<ServerVerdict> servers;
    std::vector<CheckWarning> warnings;

    // 0 clean, 1 warnings, 2 a server would be inactive.
    int ExitCode() const;
};

// Every server section of the file, or the one named `key`.
CheckReport CheckConfig(const std::filesystem::path& file, const std::optional<std::string>& key,
                        const MapData& map);

std::string ToText(const CheckReport& report);
nlohmann::json ToJson(const CheckReport& report);

// The file's document as the plugin reads it; throws nlohmann::json::exception or
// std::runtime_error.
nlohmann::json ReadDocument(const std::filesystem::path& file);

}  // namespace quorvane::admin
