// Named zones by the standard library's database (MSVC's reads Windows' own copy of ICU). The
// check of the plugin against the framework's headers compiles this file over MinGW's library,
// which has no database: it sees only the guard.
#include <chrono>
#include <version>

#if defined(__cpp_lib_chrono) && __cpp_lib_chrono >= 201907L

#include "platform/TimeZone.h"
#include "platform/ZoneDatabase.h"

namespace quorvane::platform {

ZoneOffset NamedZoneOffset(const std::string& zone, std::chrono::sys_seconds time) {
    return OffsetByDatabase([] { return &std::chrono::get_tzdb(); },
                            [](const std::string& name) { return std::chrono::locate_zone(name); },
                            zone, time);
}

}  // namespace quorvane::platform

#endif
