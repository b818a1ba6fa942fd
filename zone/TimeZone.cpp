#include "TimeZone.h"

#include <stdexcept>

#include <date/tz.h>

namespace quorvane {

TimeZone::TimeZone(const std::string& name) : name_(name) {
    try {
        zone_ = date::locate_zone(name);
    } catch (const std::exception&) {
        // date says only "not found"; without tzdata every zone is.
        throw std::invalid_argument("no time zone " + name + " in the zone database");
    }
}

ZoneOffset TimeZone::At(std::chrono::sys_seconds utc) const {
    if (zone_ == nullptr) {
        return {std::chrono::seconds(0), "UTC", std::chrono::sys_seconds::min(),
                std::chrono::sys_seconds::max()};
    }
    const auto info = zone_->get_info(utc);
    return {info.offset, info.abbrev, info.begin, info.end};
}

}  // namespace quorvane
