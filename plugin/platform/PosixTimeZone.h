#pragma once
// A POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3": the footer of a zone file (RFC 8536,
// section 3.3), which gives the zone's offsets after its last listed transition. Pure.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "platform/TimeZone.h"

namespace quorvane::platform {

class PosixTimeZone {
  public:
    // Throws std::runtime_error for a text that is no such rule.
    explicit PosixTimeZone(std::string_view text);

    ZoneOffset At(std::chrono::sys_seconds time) const;

  private:
    // A day of the year on which daylight saving begins or ends, and the local time of day.
    struct Change {
        enum class Kind { Julian, ZeroBased, MonthWeekDay } Form = Kind::MonthWeekDay;
        int Day = 0;  // Jn: 1 to 365; n: 0 to 365; M: the day of the week, 0 Sunday
        int Month = 0;
        int Week = 0;  // 1 to 5, 5 the last
        std::chrono::seconds Time{7200};

        std::chrono::sys_days DayIn(std::chrono::year year) const;
    };
    struct Daylight {
        std::string Name;
        std::chrono::seconds Offset;
        Change Start;
        Change End;
    };

    std::string name_;
    std::chrono::seconds offset_{0};  // local time minus UTC, as in ZoneOffset
    std::optional<Daylight> daylight_;
};

}  // namespace quorvane::platform
