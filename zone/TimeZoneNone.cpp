// The zone of a build without a zone database (the Windows cross build): UTC only.

#include <stdexcept>

#include "TimeZone.h"

namespace quorvane {

TimeZone::TimeZone(const std::string& name) : name_(name) {
    if (name == "UTC" || name == "Etc/UTC") {
        return;
    }
    throw std::invalid_argument("no time zone " + name + ": this build has no zone database");
}

ZoneOffset TimeZone::At(std::chrono::sys_seconds) const {
    return {std::chrono::seconds(0), "UTC", std::chrono::sys_seconds::min(),
            std::chrono::sys_seconds::max()};
}

}  // namespace quorvane
