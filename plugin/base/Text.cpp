#include "base/Text.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace quorvane {
namespace {

std::uint32_t Unit(wchar_t unit) {
    return static_cast<std::uint32_t>(unit) & 0xFFFFu;
}

std::uint32_t UpperAscii(std::uint32_t unit) {
    return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit;
}

std::string Printf(const char* format, double value) {
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, format, value);
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace

int AsciiStrnicmp(const wchar_t* a, const wchar_t* b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto x = UpperAscii(Unit(a[i]));
        const auto y = UpperAscii(Unit(b[i]));
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

std::wstring WidenBytes(std::string_view bytes) {
    std::wstring units;
    units.reserve(bytes.size());
    for (const char byte : bytes) {
        units += static_cast<wchar_t>(static_cast<std::uint16_t>(static_cast<signed char>(byte)));
    }
    return units;
}

std::string NarrowToAscii(std::wstring_view units) {
    std::string out;
    out.reserve(units.size());
    for (const wchar_t unit : units) {
        out += Unit(unit) < 128 ? static_cast<char>(Unit(unit)) : '?';
    }
    return out;
}

std::string BytesOf(std::wstring_view units) {
    std::string out;
    out.reserve(units.size());
    for (const wchar_t unit : units) {
        out += static_cast<char>(Unit(unit) & 0xFFu);
    }
    return out;
}

std::string AsciiOnly(std::string_view bytes) {
    return NarrowToAscii(WidenBytes(bytes));
}

std::size_t Find(std::wstring_view text, std::wstring_view search, CaseCompare compare,
                 std::size_t from) {
    if (search.empty()) {
        return std::wstring_view::npos;
    }
    const std::uint32_t first = UpperAscii(Unit(search[0]));
    for (std::size_t i = from; i + search.size() <= text.size(); ++i) {
        // The game's comparison considers ASCII letter case only: what differs with 'a' to 'z'
        // folded differs for it too, and costs no call into the game.
        if (UpperAscii(Unit(text[i])) == first &&
            AsciiStrnicmp(text.data() + i + 1, search.data() + 1, search.size() - 1) == 0 &&
            compare(text.data() + i + 1, search.data() + 1, search.size() - 1) == 0) {
            return i;
        }
    }
    return std::wstring_view::npos;
}

std::wstring Replace(std::wstring_view text, std::wstring_view search, std::wstring_view value,
                     CaseCompare compare) {
    std::wstring out(text);
    std::wstring scratch;
    ReplaceIn(out, search, value, compare, scratch);
    return out;
}

void ReplaceIn(std::wstring& text, std::wstring_view search, std::wstring_view value,
               CaseCompare compare, std::wstring& scratch) {
    const std::wstring_view in(text);
    std::size_t match = search.empty() ? std::wstring_view::npos : Find(in, search, compare);
    if (match == std::wstring_view::npos) {
        return;
    }
    scratch.clear();
    std::size_t position = 0;
    for (; match != std::wstring_view::npos; match = Find(in, search, compare, position)) {
        scratch.append(in.substr(position, match - position));
        scratch.append(value);
        position = match + search.size();
    }
    scratch.append(in.substr(position));
    text.swap(scratch);
}

namespace {

// The code point of the well-formed UTF-8 sequence at `at`, and its length; none for a byte
// that begins none.
std::optional<std::pair<char32_t, std::size_t>> Utf8At(std::string_view bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return std::pair{char32_t{lead}, std::size_t{1}};
    }
    // Lead bytes, payload bits and the lowest code point of each length: no overlong form.
    struct Form {
        unsigned char first, last, bits;
        std::size_t length;
        char32_t lowest;
    };
    static constexpr Form kForms[] = {
        {0xC2, 0xDF, 0x1F, 2, 0x80}, {0xE0, 0xEF, 0x0F, 3, 0x800}, {0xF0, 0xF4, 0x07, 4, 0x10000}};
    const Form* form = nullptr;
    for (const auto& candidate : kForms) {
        if (lead >= candidate.first && lead <= candidate.last) {
            form = &candidate;
        }
    }
    if (form == nullptr) {
        return std::nullopt;
    }
    const std::size_t length = form->length;
    char32_t point = lead & form->bits;
    if (at + length > bytes.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        point = point << 6 | (byte(at + i) & 0x3Fu);
    }
    if (point < form->lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair{point, length};
}

}  // namespace

std::optional<std::size_t> Utf8Error(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const auto sequence = Utf8At(bytes, at);
        if (!sequence) {
            return at;
        }
        at += sequence->second;
    }
    return std::nullopt;
}

std::wstring Utf16Units(std::string_view utf8) {
    std::wstring units;
    units.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const auto sequence = Utf8At(utf8, at);
        const char32_t point = sequence ? sequence->first : 0xFFFD;
        at += sequence ? sequence->second : 1;
        if (point >= 0x10000) {
            units += static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10));
            units += static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            units += static_cast<wchar_t>(point);
        }
    }
    return units;
}

std::size_t CharacterCount(std::string_view utf8) {
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

std::string FormatPercent(double value) {
    // printf's digits without its formatting machinery, which an event start pays for cold.
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    std::string text(buffer, result.ptr);
    const char* point = std::localeconv()->decimal_point;
    if (point != nullptr && point[0] != '\0' && point[0] != '.') {
        std::replace(text.begin(), text.end(), '.', point[0]);
    }
    return text;
}

std::string FormatG(double value) {
    return Printf("%g", value);
}

std::string ShortestFloat(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

double ShortestFloatValue(float value) {
    const std::string text = ShortestFloat(value);
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

}  // namespace quorvane
