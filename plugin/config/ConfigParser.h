#pragma once
// config.json's document into settings, as a pure function: what it yields, the lines the
// plugin logs for it, and the first value that leaves the plugin inactive, with its JSON
// pointer. The plugin (ReadConfig) and the quorvane-config tool read through it alike.

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "config/Settings.h"

namespace quorvane {

struct ConfigNote {
    enum class Level { Info, Warning, Error };
    Level level;
    std::string text;
};

// Why a document leaves the plugin inactive: the JSON pointer of the offending value ("" for
// the document itself), the library's message as the plugin logs it, and a reason for
// people.
struct ConfigProblem {
    std::string pointer;
    std::string message;
    std::string reason;
};

struct ParsedConfig {
    Settings settings;
    std::vector<ConfigNote> notes;  // in the order the plugin logs them
    std::optional<ConfigProblem> problem;
};

// Reads the settings of one server from `document`, in the plugin's order, the way the JSON
// library reads (a missing member reads as null and fails its conversion with the library's
// own message); `serverKey` is asked once, after Debug. The Debug dump is among the notes,
// passwords shown as ***. A TimeZone the system does not have is looked up in the zone files
// below `zoneFolder` (none when empty).
ParsedConfig ParseConfig(nlohmann::json document, const std::function<std::string()>& serverKey,
                         const std::filesystem::path& zoneFolder = {});

// The zone files shipped beside `configFile`: its folder's zoneinfo/.
std::filesystem::path ZoneFolderBeside(const std::filesystem::path& configFile);

// The failure that leaves the plugin inactive: what() is the library's message unchanged.
class ConfigError : public std::runtime_error {
  public:
    ConfigError(std::string file, ConfigProblem problem)
        : std::runtime_error(problem.message),
          file_(std::move(file)),
          problem_(std::move(problem)) {}
    const std::string& File() const { return file_; }
    const ConfigProblem& Problem() const { return problem_; }

  private:
    std::string file_;
    ConfigProblem problem_;
};

// The library's message without its "[json.exception.type_error.302] " tag.
std::string ReasonOf(const std::string& message);

}  // namespace quorvane
