#pragma once
// A zone from its compiled zone file (TZif, RFC 8536), as the IANA time-zone database installs
// it (/usr/share/zoneinfo): the plugin ships these files for builds whose system has no
// database. Pure.

#include <memory>
#include <string_view>

#include "platform/TimeZone.h"

namespace quorvane::platform {

// The rules of the zone file `bytes`. Throws std::runtime_error, saying why, for bytes that are
// no such file (or one with leap seconds, which the IANA zones without "right/" do not have).
std::shared_ptr<const ZoneRules> ReadTzif(std::string_view bytes);

}  // namespace quorvane::platform
