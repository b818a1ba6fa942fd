#pragma once

#include <string_view>

namespace quorvane {
// Name of the plugin's logger and of its folder below ArkApi/Plugins.
inline constexpr std::string_view kPluginName = "Quorvane";
}  // namespace quorvane
