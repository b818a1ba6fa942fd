#include "TimeZone.h"

#include <stdexcept>
#include <system_error>

#include "config/ConfigParser.h"
#include "platform/Platform.h"

namespace quorvane {

std::filesystem::path ZoneFolderFor(const std::filesystem::path& configFile) {
    std::error_code error;
    const auto beside = ZoneFolderBeside(configFile);
    if (std::filesystem::is_directory(beside, error)) {
        return beside;
    }
    return std::filesystem::path(platform::OwnModulePath()).parent_path() / "zoneinfo";
}

TimeZone::TimeZone(const std::string& name, const std::filesystem::path& zoneFolder)
    : name_(name), utc_(false) {
    try {
        zone_ = platform::FindZone(name, zoneFolder);
    } catch (const std::exception& e) {
        throw std::invalid_argument(e.what());
    }
}

ZoneOffset TimeZone::At(std::chrono::sys_seconds utc) const {
    if (utc_) {
        return {std::chrono::seconds(0), "UTC", std::chrono::sys_seconds::min(),
                std::chrono::sys_seconds::max()};
    }
    return zone_.At(utc);
}

}  // namespace quorvane
