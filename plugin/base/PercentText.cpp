#include "base/PercentText.h"

#include "base/Text.h"

namespace quorvane {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool StandsAsItself(unsigned char byte) {
    return byte >= '!' && byte <= '~' && byte != '%';
}

int HexValue(char digit) {
    if (digit >= '0' && digit <= '9') {
        return digit - '0';
    }
    if (digit >= 'A' && digit <= 'F') {
        return digit - 'A' + 10;
    }
    return -1;
}

std::string At(std::size_t position) {
    return " at character " + std::to_string(position + 1);
}

}  // namespace

std::string PercentEncode(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (StandsAsItself(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::optional<std::string> PercentDecode(std::string_view encoded, std::string& error) {
    std::string text;
    text.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(encoded[i]);
        if (byte != '%') {
            if (!StandsAsItself(byte)) {
                error =
                    (byte == ' ' ? std::string("a blank")
                                 : std::string("byte 0x") + kHex[byte >> 4] + kHex[byte & 0x0F]) +
                    At(i) + " must be percent-encoded";
                return std::nullopt;
            }
            text += static_cast<char>(byte);
            continue;
        }
        const int high = i + 1 < encoded.size() ? HexValue(encoded[i + 1]) : -1;
        const int low = i + 2 < encoded.size() ? HexValue(encoded[i + 2]) : -1;
        if (high < 0 || low < 0) {
            error = "'%'" + At(i) + " is not followed by two of 0-9 A-F";
            return std::nullopt;
        }
        const auto decoded = static_cast<unsigned char>(high << 4 | low);
        if (decoded == 0) {
            error = "a NUL byte" + At(i);
            return std::nullopt;
        }
        if (StandsAsItself(decoded)) {
            error = std::string(encoded.substr(i, 3)) + At(i) + " must be written as " +
                    std::string(1, static_cast<char>(decoded));
            return std::nullopt;
        }
        text += static_cast<char>(decoded);
        i += 2;
    }
    if (const auto bad = Utf8Error(text)) {
        error = "the text is not UTF-8 from byte " + std::to_string(*bad + 1);
        return std::nullopt;
    }
    return text;
}

}  // namespace quorvane
