#pragma once
// Local time in a time zone, and back, with daylight-saving time as the zone has it. A zone is
// an IANA name ("Europe/Berlin"), or empty for the server's own local time. Named zones come
// from whatever database the build has: the standard library's (MSVC), Howard Hinnant's date
// library (Linux), or none (MinGW), where every named zone is refused.

#include <chrono>
#include <string>
#include <vector>

namespace quorvane::platform {

// What the clocks of `zone` show at `time`. Throws std::runtime_error, saying why for an admin,
// when the zone is not known or this build has no database.
std::chrono::local_seconds LocalTimeIn(const std::string& zone, std::chrono::sys_seconds time);

// Minutes after midnight in `zone` at `time`: 0 to 1439. Throws as LocalTimeIn.
int MinuteOfDayIn(const std::string& zone, std::chrono::system_clock::time_point time);

// The instants at which the clocks of `zone` show `local`: none when the clocks skip it (spring
// forward), two when they show it twice (fall back), earliest first. Throws as LocalTimeIn.
std::vector<std::chrono::sys_seconds> UtcTimesOf(const std::string& zone,
                                                 std::chrono::local_seconds local);

// How the clocks of a named zone stand to UTC during one stretch of time.
struct ZoneOffset {
    std::chrono::seconds Offset{0};  // local time minus UTC
    std::string Abbreviation;        // "CET", "CEST"
    // The stretch within which this offset holds: [Begin, End).
    std::chrono::sys_seconds Begin;
    std::chrono::sys_seconds End;
};

// The named `zone` at `time`, by the build's database; throws as LocalTimeIn. One
// implementation per database.
ZoneOffset NamedZoneOffset(const std::string& zone, std::chrono::sys_seconds time);

}  // namespace quorvane::platform
