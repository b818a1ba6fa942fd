#pragma once
// Text as the plugin composes it: the game's UTF-16 code units, one per wchar_t, made from
// bytes one unit per byte; and the few ways numbers are written for people. Pure: no game,
// no host.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Compares `count` units without regard to case; 0 when equal. The plugin passes the game's
// FGenericPlatformStricmp::Strnicmp; where there is no game, AsciiStrnicmp does the same.
using CaseCompare = int (*)(const wchar_t*, const wchar_t*, std::size_t);
// ASCII letters without regard to case, every other unit exactly.
int AsciiStrnicmp(const wchar_t* a, const wchar_t* b, std::size_t count);

// One code unit per byte, the byte read as signed and sign-extended to 16 bits: bytes above
// 0x7F become U+FF80 to U+FFFF.
std::wstring WidenBytes(std::string_view bytes);
// Units below 128 as that byte, every other unit as "?": the ASCII that RCON takes.
std::string NarrowToAscii(std::wstring_view units);
// The low byte of each unit: the inverse of WidenBytes, so UTF-8 comes back as it was.
std::string BytesOf(std::wstring_view units);
// Every byte above 0x7F as "?": NarrowToAscii(WidenBytes(bytes)).
std::string AsciiOnly(std::string_view bytes);

// Where the first byte lies that does not belong to well-formed UTF-8 (an overlong form, a
// surrogate, a code point above U+10FFFF, a cut sequence); none when the whole text is UTF-8.
std::optional<std::size_t> Utf8Error(std::string_view bytes);
// UTF-8 as the game's UTF-16 code units, one per wchar_t, a code point above U+FFFF as a
// surrogate pair: how a text reaches players with every letter. A byte that is not UTF-8
// becomes U+FFFD.
std::wstring Utf16Units(std::string_view utf8);

// The code points of a UTF-8 text (a stray byte counts as one): what Discord counts.
std::size_t CharacterCount(std::string_view utf8);

// Position of the first occurrence of `search` at or after `from`, ignoring case; npos when
// there is none. A match is one with only 'a' to 'z' folded that `compare` confirms for all but
// the first unit.
std::size_t Find(std::wstring_view text, std::wstring_view search, CaseCompare compare,
                 std::size_t from = 0);
// Every occurrence of `search` replaced by `value`, ignoring case, left to right; inserted
// text is not searched again. An empty text or search gives a copy.
std::wstring Replace(std::wstring_view text, std::wstring_view search, std::wstring_view value,
                     CaseCompare compare);
// Replace on `text` itself, with `scratch` as room to write in; nothing is copied where there is
// nothing to replace.
void ReplaceIn(std::wstring& text, std::wstring_view search, std::wstring_view value,
               CaseCompare compare, std::wstring& scratch);

// printf's %f in the current locale: 75.000000. How Lat and Lon are written everywhere.
std::string FormatPercent(double value);
// printf's %g, at most six significant digits: how coordinates are written for people.
std::string FormatG(double value);
// The shortest text that reads back as `value` (0.1, 1000, -2000.5): how a coordinate goes
// into the event command and the history.
std::string ShortestFloat(float value);
// That text's number as a double, for JSON: 0.1, not the float's 0.10000000149011612.
double ShortestFloatValue(float value);

}  // namespace quorvane
