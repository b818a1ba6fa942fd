#pragma once
// The hours of the day in which a server starts events: "HH:MM-HH:MM" in the server's local
// time, the start included and the end not, crossing midnight when the end comes first. Pure.

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

struct DailyHours {
    int Start = 0;  // minutes after midnight, 0 to 1439
    int End = 0;    // 0 to 1440; equal to Start: the whole day
    std::string Text;
};

// "18:00-23:30", "22:00-02:00", "00:00-24:00"; none for anything else.
std::optional<DailyHours> ParseActiveHours(std::string_view text);

// Whether a minute of the day (0 to 1439) lies inside the hours.
bool InActiveHours(const DailyHours& hours, int minuteOfDay);

// "04:12"
std::string ClockText(int minuteOfDay);
// "HH:MM", two digits each, as minutes after midnight, at most `latest`; -1 for anything else.
int ClockMinutes(std::string_view text, int latest);

}  // namespace quorvane
