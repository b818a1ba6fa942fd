#pragma once
// Text and numbers as the report page writes them: every text from a file escaped and made
// valid UTF-8, numbers in the same form in every locale, times on the admin's clock.

#include <chrono>
#include <string>
#include <string_view>

#include "TimeZone.h"

namespace quorvane::admin {

// For HTML text and attribute values: & < > " ' escaped; a control character or a byte that
// is no UTF-8 becomes U+FFFD.
std::string Escaped(std::string_view text);
// `decimals` digits after the point; trailing zeros dropped ("12.5", "40"). Not finite: "0".
std::string Number(double value, int decimals);
// "2026-12-09 11:19:48 CET"
std::string ClockText(std::chrono::system_clock::time_point time, const TimeZone& zone);

}  // namespace quorvane::admin
