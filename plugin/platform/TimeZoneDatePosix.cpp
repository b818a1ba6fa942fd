// Named zones by Howard Hinnant's date library, over the system's own zone files.
#include <date/tz.h>

#include "platform/TimeZone.h"
#include "platform/ZoneDatabase.h"

namespace quorvane::platform {

std::chrono::local_seconds NamedZoneLocalTime(const std::string& zone,
                                              std::chrono::sys_seconds time) {
    return LocalTimeByDatabase([] { return &date::get_tzdb(); },
                               [](const std::string& name) { return date::locate_zone(name); },
                               zone, time);
}

}  // namespace quorvane::platform
