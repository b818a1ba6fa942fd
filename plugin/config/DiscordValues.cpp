#include "config/DiscordValues.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "base/Text.h"

namespace quorvane {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string LowerAscii(std::string text) {
    for (auto& c : text) {
        c = Lower(c);
    }
    return text;
}

}  // namespace

std::optional<std::string> SnowflakeProblem(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        error != std::errc() || end != text.data() + text.size()) {
        return "is not a Discord id (the digits of a number up to 18446744073709551615)";
    }
    return std::nullopt;
}

std::optional<std::string> WebAddressProblem(const std::string& text) {
    const std::string lower = LowerAscii(text.substr(0, 8));
    const std::size_t scheme = lower.starts_with("https://")  ? 8
                               : lower.starts_with("http://") ? 7
                                                              : 0;
    const bool blank = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '\x7F';
    });
    if (scheme == 0 || text.size() == scheme || text.find_first_of("/?#", scheme) == scheme ||
        blank) {
        return "is not an http:// or https:// address";
    }
    return std::nullopt;
}

std::optional<std::string> WebhookNameProblem(const std::string& text) {
    constexpr std::size_t kLongest = 80;
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        return "is blank; Discord takes a name of 1 to 80 characters";
    }
    if (const std::size_t count = CharacterCount(text); count > kLongest) {
        return "has " + std::to_string(count) + " characters; Discord takes 1 to 80";
    }
    const std::string lower = LowerAscii(text);
    for (const char* word : {"clyde", "discord"}) {
        if (lower.find(word) != std::string::npos) {
            return std::string("holds \"") + word + "\", which Discord refuses in a webhook's name";
        }
    }
    return std::nullopt;
}

}  // namespace quorvane
