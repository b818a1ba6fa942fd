#include "TimeZone.h"

#include <stdexcept>

namespace quorvane {

// UTC needs no database, so that a build without one still takes it by name.
TimeZone::TimeZone(const std::string& name)
    : name_(name), utc_(name == "UTC" || name == "Etc/UTC") {
    if (utc_) {
        return;
    }
    try {
        platform::NamedZoneOffset(
            name, std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    } catch (const std::exception& e) {
        throw std::invalid_argument(e.what());
    }
}

ZoneOffset TimeZone::At(std::chrono::sys_seconds utc) const {
    if (utc_) {
        return {std::chrono::seconds(0), "UTC", std::chrono::sys_seconds::min(),
                std::chrono::sys_seconds::max()};
    }
    return platform::NamedZoneOffset(name_, utc);
}

}  // namespace quorvane
