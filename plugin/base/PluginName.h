#pragma once

#include <string_view>

namespace quorvane {
// Name of the plugin's logger and of its folder below ArkApi/Plugins.
inline constexpr std::string_view kPluginName = "Quorvane";
// Where the plugin comes from, for the User-Agent of its Discord posts.
inline constexpr std::string_view kPluginUrl = "https://github.com/quorvane/quorvane";
}  // namespace quorvane
