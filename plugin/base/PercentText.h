#pragma once
// Any text over ASCII-only RCON and back, exactly: the encoding of quorvane.announce. Every
// byte outside '!' to '~', and '%' itself, is written %XX (two upper-case hex digits); every
// other byte stands as itself. So an encoded text is one word of printable ASCII that no
// client, console or framework splits, trims or narrows, and each text has exactly one
// encoding. Pure.

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

std::string PercentEncode(std::string_view bytes);

// The text that `encoded` stands for: UTF-8 without a NUL. Strict: none, with `error` set to
// the reason and where, for anything PercentEncode would not have written for such a text (a
// lower-case or missing hex digit, a byte written %XX that stands as itself, a blank or any
// other byte outside '!' to '~', a NUL, bytes that are not UTF-8).
std::optional<std::string> PercentDecode(std::string_view encoded, std::string& error);

}  // namespace quorvane
