#include "config/ActiveHours.h"

namespace quorvane {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int ClockMinutes(std::string_view text, int latest) {
    if (text.size() != 5 || text[2] != ':' || !IsDigit(text[0]) || !IsDigit(text[1]) ||
        !IsDigit(text[3]) || !IsDigit(text[4])) {
        return -1;
    }
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[3] - '0') * 10 + (text[4] - '0');
    if (minutes > 59) {
        return -1;
    }
    const int total = hours * 60 + minutes;
    return total <= latest ? total : -1;
}

std::optional<DailyHours> ParseActiveHours(std::string_view text) {
    if (text.size() != 11 || text[5] != '-') {
        return std::nullopt;
    }
    const int start = ClockMinutes(text.substr(0, 5), 23 * 60 + 59);
    const int end = ClockMinutes(text.substr(6), 24 * 60);
    if (start < 0 || end < 0) {
        return std::nullopt;
    }
    return DailyHours{start, end % (24 * 60) == start ? start : end, std::string(text)};
}

bool InActiveHours(const DailyHours& hours, int minuteOfDay) {
    if (hours.Start == hours.End) {
        return true;
    }
    if (hours.Start < hours.End) {
        return minuteOfDay >= hours.Start && minuteOfDay < hours.End;
    }
    return minuteOfDay >= hours.Start || minuteOfDay < hours.End;
}

std::string ClockText(int minuteOfDay) {
    const int hours = minuteOfDay / 60;
    const int minutes = minuteOfDay % 60;
    return std::string{static_cast<char>('0' + hours / 10), static_cast<char>('0' + hours % 10),
                       ':', static_cast<char>('0' + minutes / 10),
                       static_cast<char>('0' + minutes % 10)};
}

}  // namespace quorvane
