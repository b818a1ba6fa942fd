// Named zones by Howard Hinnant's date library, over the system's own zone files.
#include <date/tz.h>

#include "platform/TimeZone.h"
#include "platform/ZoneDatabase.h"

namespace quorvane::platform {

ZoneOffset NamedZoneOffset(const std::string& zone, std::chrono::sys_seconds time) {
    return OffsetByDatabase([] { return &date::get_tzdb(); },
                            [](const std::string& name) { return date::locate_zone(name); }, zone,
                            time);
}

}  // namespace quorvane::platform
