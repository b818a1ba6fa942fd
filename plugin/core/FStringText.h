#pragma once
// Text operations on the host's FString that the plugin does itself.

#include <string>

#include "core/Host.h"

namespace quorvane {

// Code units below 128 as that byte, every other unit as "?".
std::string Narrow(const FString& text);

// One code unit per byte, the byte read as signed and sign-extended to 16 bits, so bytes
// above 0x7F become U+FF80 to U+FFFF.
FString WidenBytes(const std::string& bytes);

// Position of the first occurrence of `search` at or after `from`, ignoring case; -1 when
// there is none. The first unit is compared with only 'a' to 'z' folded, the rest through
// the host's Strnicmp.
int Find(const FString& text, const FString& search, int from = 0);

// Every occurrence of `search` replaced by `value`, ignoring case, left to right; inserted
// text is not searched again. An empty text or search gives a copy.
FString Replace(const FString& text, const FString& search, const FString& value);

}  // namespace quorvane
