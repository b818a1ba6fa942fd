// Named zones by the standard library's database (MSVC's reads Windows' own copy of ICU, which
// Windows Server 2019 lacks: then get_tzdb throws and the shipped zone files serve). The check
// of the plugin against the framework's headers compiles this file over MinGW's library, which
// has no database: it sees only the guard.
#include <chrono>
#include <version>

#if defined(__cpp_lib_chrono) && __cpp_lib_chrono >= 201907L

#include "platform/TimeZone.h"
#include "platform/ZoneDatabase.h"

namespace quorvane::platform {

SystemZoneLookup SystemZone(const std::string& name) {
    return LookUp([] { return &std::chrono::get_tzdb(); },
                  [](const std::string& zone) { return std::chrono::locate_zone(zone); }, name);
}

}  // namespace quorvane::platform

#endif
