#pragma once
// Fixed times for tests that start real servers: the wall clock's minute, some minutes ahead.

#include <chrono>
#include <cstdio>
#include <string>

namespace testing_support {

// "HH:MM" in UTC, `minutes` from now.
inline std::string UtcClockIn(int minutes) {
    const auto at = std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now()) +
                    std::chrono::minutes(minutes);
    const std::chrono::hh_mm_ss time(at - std::chrono::floor<std::chrono::days>(at));
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()));
    return text;
}

}  // namespace testing_support
