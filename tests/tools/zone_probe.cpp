// zone-probe FOLDER ZONE AT UTC...: through the plugin's own zone lookup (FOLDER: the shipped
// zone files), prints for each UTC time "UTC minute NEXT": the minute of the day there, as
// ActiveHours judges it, and the next start of the fixed time AT after it. First line: where
// the zone came from. So a test on Linux can see what a Windows build makes of a zone's day.
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "events/Calendar.h"
#include "platform/TimeZone.h"

namespace {

using std::chrono::sys_seconds;

bool ParseUtc(const char* text, sys_seconds& out) {
    int y = 0;
    unsigned mo = 0, d = 0;
    int h = 0, mi = 0, s = 0;
    if (std::sscanf(text, "%d-%u-%uT%d:%d:%dZ", &y, &mo, &d, &h, &mi, &s) != 6) {
        return false;
    }
    out =
        std::chrono::sys_days(std::chrono::year(y) / std::chrono::month(mo) / std::chrono::day(d)) +
        std::chrono::hours(h) + std::chrono::minutes(mi) + std::chrono::seconds(s);
    return true;
}

std::string UtcText(sys_seconds time) {
    const auto day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss clock(time - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(clock.hours().count()),
                  int(clock.minutes().count()), int(clock.seconds().count()));
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: zone-probe FOLDER ZONE AT UTC...\n");
        return 2;
    }
    try {
        const auto zone = quorvane::platform::FindZone(argv[2], argv[1]);
        const auto at = quorvane::ParseFixedTime(argv[3]);
        if (!at) {
            std::fprintf(stderr, "not a fixed time: %s\n", argv[3]);
            return 2;
        }
        std::printf("%s\n", zone.Database().c_str());
        for (int i = 4; i < argc; ++i) {
            sys_seconds time;
            if (!ParseUtc(argv[i], time)) {
                std::fprintf(stderr, "not a UTC time: %s\n", argv[i]);
                return 2;
            }
            const auto next = quorvane::NextFixedTime({*at}, zone, time);
            std::printf("%s %d %s\n", argv[i], quorvane::platform::MinuteOfDayIn(zone, time),
                        next ? UtcText(*next).c_str() : "none");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
