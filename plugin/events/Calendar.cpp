#include "events/Calendar.h"

#include "platform/TimeZone.h"

namespace quorvane {
namespace {

using namespace std::chrono;

// When the clocks of `zone` show `local`, by the rules above.
sys_seconds Instant(const platform::Zone& zone, local_seconds local) {
    const auto instants = platform::UtcTimesOf(zone, local);
    if (!instants.empty()) {
        return instants.front();
    }
    // By the offset before the jump, as a clock that was not put forward would show it.
    const sys_seconds before{local.time_since_epoch() - days(1)};
    const auto offset =
        platform::LocalTimeIn(zone, before) - local_seconds(before.time_since_epoch());
    return sys_seconds{local.time_since_epoch() - offset};
}

}  // namespace

std::optional<sys_seconds> NextFixedTime(const std::vector<FixedTime>& times,
                                         const platform::Zone& zone, sys_seconds after) {
    std::optional<sys_seconds> next;
    if (times.empty()) {
        return next;
    }
    // Every day on which the next start can be, in local days: a weekday's time comes within a
    // week, and a day either side covers any zone's offset.
    const local_days today = floor<days>(platform::LocalTimeIn(zone, after));
    for (int offset = -1; offset <= 8; ++offset) {
        const local_days day = today + days(offset);
        const unsigned dayOfWeek = weekday(day).iso_encoding();
        for (const auto& time : times) {
            if (time.Weekday != 0 && time.Weekday != dayOfWeek) {
                continue;
            }
            const sys_seconds at = Instant(zone, day + minutes(time.Minute));
            if (at > after && (!next || at < *next)) {
                next = at;
            }
        }
    }
    return next;
}

}  // namespace quorvane
