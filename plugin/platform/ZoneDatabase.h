#pragma once
// The lookup of a named zone in a time-zone database: the standard library's and Howard
// Hinnant's date library, from which it was standardised, answer the same calls, so both builds
// run these lines.

#include <chrono>
#include <stdexcept>
#include <string>

#include "platform/TimeZone.h"

namespace quorvane::platform {

// `database` returns the database (it throws when there is none to be had); `locate` finds a
// zone in it by name (it throws when there is none of that name).
template <typename Database, typename Locate>
ZoneOffset OffsetByDatabase(Database database, Locate locate, const std::string& zone,
                            std::chrono::sys_seconds time) {
    try {
        database();
    } catch (const std::exception& e) {
        throw std::runtime_error("the server's time-zone database cannot be read: " +
                                 std::string(e.what()));
    }
    const auto* found = [&] {
        try {
            return locate(zone);
        } catch (const std::exception&) {
            throw std::runtime_error("\"" + zone +
                                     "\" is not a time zone (an IANA name such as "
                                     "\"Europe/Berlin\")");
        }
    }();
    const auto info = found->get_info(time);
    return {info.offset, info.abbrev, info.begin, info.end};
}

}  // namespace quorvane::platform
