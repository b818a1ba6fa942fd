// quorvane.announce's encoding (base/PercentText): any text survives the trip over RCON, and
// the decoding takes exactly what the encoding writes, so that what players see is what was
// sent. Each input is read both ways: as a text to send, and as what a server received.

#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "base/PercentText.h"
#include "base/Text.h"

namespace {

using fuzzing::Fail;
using fuzzing::Require;
using fuzzing::Shown;

// UTF-16 units back to UTF-8, as plainly as it can be written.
std::string Utf8Of(const std::wstring& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t point = static_cast<char32_t>(units[i]) & 0xFFFF;
        if (point >= 0xD800 && point <= 0xDBFF) {
            Require(i + 1 < units.size(), "a high surrogate at the end");
            const char32_t low = static_cast<char32_t>(units[++i]) & 0xFFFF;
            Require(low >= 0xDC00 && low <= 0xDFFF, "a high surrogate without its low one");
            point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
        }
        if (point < 0x80) {
            out += static_cast<char>(point);
        } else if (point < 0x800) {
            out += static_cast<char>(0xC0 | point >> 6);
            out += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            out += static_cast<char>(0xE0 | point >> 12);
            out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | point >> 18);
            out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return out;
}

bool Sendable(std::string_view text) {
    return !quorvane::Utf8Error(text) && text.find('\0') == std::string_view::npos;
}

// A text to send: its encoding is one word of printable ASCII that decodes to it.
void CheckRoundTrip(std::string_view text) {
    const std::string encoded = quorvane::PercentEncode(text);
    for (const char c : encoded) {
        Require(c >= '!' && c <= '~', "the encoding holds a byte outside '!' to '~'");
    }
    std::string error;
    const auto decoded = quorvane::PercentDecode(encoded, error);
    if (Sendable(text)) {
        if (!decoded || *decoded != text) {
            Fail("a text did not come back: " + Shown(text) + " (" + error + ")");
        }
    } else {
        Require(!decoded && !error.empty(), "a text with a NUL or not UTF-8 was taken");
    }
}

// What a server received: taken only when it is exactly the encoding of what it stands for,
// which players then see with every letter.
void CheckReceived(std::string_view received) {
    std::string error;
    const auto decoded = quorvane::PercentDecode(received, error);
    if (!decoded) {
        Require(!error.empty(), "refused without a reason");
        return;
    }
    Require(Sendable(*decoded), "decoded into a NUL or bytes that are not UTF-8");
    if (quorvane::PercentEncode(*decoded) != received) {
        Fail("taken although it is not the encoding of its text: " + Shown(received));
    }
    Require(Utf8Of(quorvane::Utf16Units(*decoded)) == *decoded,
            "the game's string does not hold the same letters");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(input);
    CheckReceived(input);
    return 0;
}
