// Named zones by Howard Hinnant's date library, over the system's own zone files.
#include <date/tz.h>

#include "platform/TimeZone.h"
#include "platform/ZoneDatabase.h"

namespace quorvane::platform {

SystemZoneLookup SystemZone(const std::string& name) {
    return LookUp([] { return &date::get_tzdb(); },
                  [](const std::string& zone) { return date::locate_zone(zone); }, name);
}

}  // namespace quorvane::platform
