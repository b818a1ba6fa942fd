#include "Markup.h"

#include <cmath>
#include <cstdio>

#include "history/EventRecord.h"

namespace quorvane::admin {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence at `at`, or 0 when none starts there.
std::size_t Sequence(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong form
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = Sequence(text, i);
            out += length > 0 ? text.substr(i, length) : kReplacement;
            i += length > 0 ? length : 1;
            continue;
        }
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) {
                    out += kReplacement;
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    return out;
}

std::string Number(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "0";
    }
    char text[64];
    if (std::fabs(value) >= 1e15) {
        std::snprintf(text, sizeof text, "%.6g", value);
        return text;
    }
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string out = text;
    // snprintf follows the locale's decimal point; the page always has a point.
    for (auto& c : out) {
        c = c == ',' ? '.' : c;
    }
    if (out.find('.') != std::string::npos) {
        while (out.back() == '0') {
            out.pop_back();
        }
        if (out.back() == '.') {
            out.pop_back();
        }
    }
    return out == "-0" ? "0" : out;
}

std::string ClockText(std::chrono::system_clock::time_point time, const TimeZone& zone) {
    const ZoneOffset offset = zone.At(std::chrono::floor<std::chrono::seconds>(time));
    // The local time written as UTC is, "2026-12-09T11:19:48Z", made a wall clock's.
    std::string text = UtcText(time + offset.Offset);
    text[10] = ' ';
    text.back() = ' ';
    return text + offset.Abbreviation;
}

}  // namespace quorvane::admin
