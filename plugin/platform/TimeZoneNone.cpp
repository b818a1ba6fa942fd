// A build without a time-zone database: only the server's own local time.
#include <stdexcept>

#include "platform/TimeZone.h"

namespace quorvane::platform {

ZoneOffset NamedZoneOffset(const std::string& zone, std::chrono::sys_seconds) {
    throw std::runtime_error("this build of the plugin has no time-zone database for \"" + zone +
                             "\"; without TimeZone the server's local time is used");
}

}  // namespace quorvane::platform
