// A build whose system has no time-zone database (MinGW): the shipped zone files serve.
#include "platform/TimeZone.h"

namespace quorvane::platform {

SystemZoneLookup SystemZone(const std::string&) {
    return {};
}

}  // namespace quorvane::platform
