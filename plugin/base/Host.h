#pragma once
// The one place where the plugin includes the host framework's SDK: only its public headers,
// and through them its logging library (the plugin includes no logging or formatting library
// of its own, since the framework brings its own version).

#include <cstdint>
#include <string>
#include <string_view>

#include <API/ARK/Ark.h>
#include <Logger/Logger.h>
#include <Requests.h>
#include <Timer.h>

#include "base/Text.h"

namespace quorvane {

// The code units of one of the game's strings.
inline std::wstring_view UnitsOf(const FString& text) {
    return {*text, static_cast<std::size_t>(text.Len())};
}

// UTF-8 as one of the game's strings, every letter kept.
inline FString GameText(std::string_view utf8) {
    const std::wstring units = Utf16Units(utf8);
    return FString(static_cast<int>(units.size()), units.data());
}

// 0xRRGGBB as the game's colour.
inline FLinearColor GameColour(std::uint32_t rgb) {
    const auto channel = [rgb](int shift) {
        return static_cast<float>(rgb >> shift & 0xFFu) / 255.0f;
    };
    return FLinearColor(channel(16), channel(8), channel(0), 1.0f);
}

}  // namespace quorvane
