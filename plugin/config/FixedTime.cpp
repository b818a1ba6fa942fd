#include "config/FixedTime.h"

#include "config/ActiveHours.h"

namespace quorvane {

std::optional<FixedTime> ParseFixedTime(std::string_view text) {
    static constexpr std::string_view kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    unsigned weekday = 0;
    std::string_view clock = text;
    if (text.size() == 9 && text[3] == ' ') {
        for (unsigned i = 0; i < 7; ++i) {
            if (text.substr(0, 3) == kDays[i]) {
                weekday = i + 1;
            }
        }
        if (weekday == 0) {
            return std::nullopt;
        }
        clock = text.substr(4);
    }
    const int minute = ClockMinutes(clock, 23 * 60 + 59);
    if (minute < 0) {
        return std::nullopt;
    }
    return FixedTime{weekday, minute, std::string(text)};
}

}  // namespace quorvane
