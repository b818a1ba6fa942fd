#pragma once
// The one place where the plugin includes the host framework's SDK: only its public headers,
// and through them its logging library (the plugin includes no logging or formatting library
// of its own, since the framework brings its own version).

#include <string_view>

#include <API/ARK/Ark.h>
#include <Logger/Logger.h>
#include <Requests.h>
#include <Timer.h>

namespace quorvane {

// The code units of one of the game's strings.
inline std::wstring_view UnitsOf(const FString& text) {
    return {*text, static_cast<std::size_t>(text.Len())};
}

}  // namespace quorvane
