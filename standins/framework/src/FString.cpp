#include "API/UE/Containers/UnrealString.h"
#include "API/UE/GenericPlatform/GenericPlatformStricmp.h"

#include <cwchar>

#include "Host/Text.h"
#include "HostInternal.h"

FString::FString(const wchar_t* text) {
    if (text != nullptr) {
        AssignRange(text, static_cast<int>(std::wcslen(text)));
    }
}

FString::FString(const char* text) {
    if (text == nullptr || *text == '\0') {
        return;
    }
    const int length = static_cast<int>(std::strlen(text));
    ArrayMax = length + 1;
    Data = static_cast<wchar_t*>(FMemory::Malloc(sizeof(wchar_t) * ArrayMax));
    for (int i = 0; i < length; ++i) {
        Data[i] = static_cast<wchar_t>(static_cast<unsigned char>(text[i]));
    }
    Data[length] = L'\0';
    ArrayNum = length + 1;
}

FString::FString(int count, const wchar_t* units) {
    AssignRange(units, count);
}

void FString::AppendChars(const wchar_t* units, int count) {
    if (count <= 0 || units == nullptr) {
        return;
    }
    const int length = Len();
    const int needed = length + count + 1;
    if (needed > ArrayMax) {
        // Geometric growth keeps repeated appends linear.
        const int capacity = needed > 2 * ArrayMax ? needed : 2 * ArrayMax;
        Data = static_cast<wchar_t*>(FMemory::Realloc(Data, sizeof(wchar_t) * capacity));
        ArrayMax = capacity;
    }
    std::memmove(Data + length, units, sizeof(wchar_t) * count);
    Data[length + count] = L'\0';
    ArrayNum = needed;
}

void FString::AssignRange(const wchar_t* units, int count) {
    if (count <= 0 || units == nullptr) {
        if (Data != nullptr) {
            FMemory::Free(Data);
        }
        Data = nullptr;
        ArrayNum = ArrayMax = 0;
        return;
    }
    // A fresh buffer, so that `units` may point into this string.
    auto* fresh = static_cast<wchar_t*>(FMemory::Malloc(sizeof(wchar_t) * (count + 1)));
    std::memcpy(fresh, units, sizeof(wchar_t) * count);
    fresh[count] = L'\0';
    if (Data != nullptr) {
        FMemory::Free(Data);
    }
    Data = fresh;
    ArrayNum = ArrayMax = count + 1;
}

bool FString::RemoveFromStart(const FString& prefix, ESearchCase::Type searchCase) {
    const int prefixLength = prefix.Len();
    if (prefixLength == 0 || prefixLength > Len()) {
        return false;
    }
    const bool matches = searchCase == ESearchCase::IgnoreCase
                             ? FGenericPlatformStricmp::Strnicmp(
                                   Data, *prefix, static_cast<std::size_t>(prefixLength)) == 0
                             : std::wmemcmp(Data, *prefix, prefixLength) == 0;
    if (!matches) {
        return false;
    }
    std::memmove(Data, Data + prefixLength, sizeof(wchar_t) * (ArrayNum - prefixLength));
    ArrayNum -= prefixLength;
    return true;
}

namespace asahost {

std::string ToUtf8(const wchar_t* units, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        char32_t cp = static_cast<char32_t>(units[i]) & 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count) {
            const char32_t low = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

FString FromUtf8(const std::string& text) {
    std::wstring units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t cp = length == 1   ? lead
                      : length == 2 ? lead & 0x1Fu
                      : length == 3 ? lead & 0x0Fu
                                    : lead & 0x07u;
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k) {
            cp = (cp << 6) |
                 (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3Fu);
        }
        i += static_cast<std::size_t>(length);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            units += static_cast<wchar_t>(0xD800 + (cp >> 10));
            units += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            units += static_cast<wchar_t>(cp);
        }
    }
    return FString(static_cast<int>(units.size()), units.data());
}

std::string Utf8Of(const FString& text) {
    return ToUtf8(*text, text.Len());
}

FString GameStringOf(const std::string& utf8) {
    return FromUtf8(utf8);
}

std::filesystem::path ToPath(std::wstring_view units) {
    if constexpr (sizeof(wchar_t) == 2) {
        return std::filesystem::path(units);
    } else {
        return std::filesystem::path(ToUtf8(units.data(), static_cast<int>(units.size())));
    }
}

std::filesystem::path ToPath(const FString& text) {
    return ToPath(std::wstring_view(*text, static_cast<std::size_t>(text.Len())));
}

}  // namespace asahost
