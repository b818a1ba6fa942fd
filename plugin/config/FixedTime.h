#pragma once
// When an event starts beside the random chain (its At): "HH:MM" every day, or "Ddd HH:MM" on
// one day of the week (Mon, Tue, Wed, Thu, Fri, Sat, Sun), in the zone of TimeZone. Pure.

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

struct FixedTime {
    unsigned Weekday = 0;  // 1 Monday to 7 Sunday; 0 every day
    int Minute = 0;        // after midnight, 0 to 1439
    std::string Text;
};

// "20:00", "Sat 20:00"; none for anything else.
std::optional<FixedTime> ParseFixedTime(std::string_view text);

}  // namespace quorvane
