#include "core/FStringText.h"

#include <cstdint>

namespace quorvane {
namespace {

std::uint32_t Unit(wchar_t unit) {
    return static_cast<std::uint32_t>(unit) & 0xFFFFu;
}

std::uint32_t UpperAscii(std::uint32_t unit) {
    return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit;
}

}  // namespace

std::string Narrow(const FString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.Len()));
    const wchar_t* units = *text;
    for (int i = 0; i < text.Len(); ++i) {
        const std::uint32_t unit = Unit(units[i]);
        out += unit < 128 ? static_cast<char>(unit) : '?';
    }
    return out;
}

FString WidenBytes(const std::string& bytes) {
    std::wstring units;
    units.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto extended = static_cast<std::uint16_t>(static_cast<signed char>(byte));
        units += static_cast<wchar_t>(extended);
    }
    return FString(static_cast<int>(units.size()), units.data());
}

int Find(const FString& text, const FString& search, int from) {
    const int textLength = text.Len();
    const int searchLength = search.Len();
    if (searchLength == 0 || from < 0) {
        return -1;
    }
    const wchar_t* units = *text;
    const wchar_t* pattern = *search;
    const std::uint32_t first = UpperAscii(Unit(pattern[0]));
    for (int i = from; i + searchLength <= textLength; ++i) {
        if (UpperAscii(Unit(units[i])) == first &&
            FGenericPlatformStricmp::Strnicmp(units + i + 1, pattern + 1,
                                              static_cast<std::size_t>(searchLength - 1)) == 0) {
            return i;
        }
    }
    return -1;
}

FString Replace(const FString& text, const FString& search, const FString& value) {
    if (text.IsEmpty() || search.IsEmpty()) {
        return text;
    }
    FString out;
    int position = 0;
    for (int match = Find(text, search); match >= 0; match = Find(text, search, position)) {
        out.AppendChars(*text + position, match - position);
        out.AppendChars(*value, value.Len());
        position = match + search.Len();
    }
    out.AppendChars(*text + position, text.Len() - position);
    return out;
}

}  // namespace quorvane
