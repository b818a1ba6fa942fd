#pragma once
// The loader's reading of PluginInfo.json, apart from the files, so that hostile text can be
// fed to it directly.

#include <istream>

#include <nlohmann/json.hpp>

namespace asahost {

// PluginInfo.json as the framework reads it: each field with a typed default, in this order,
// until the first one of a wrong type, which is logged and ends the reading. No file (null)
// gives the defaults; a file that is not JSON refuses the plugin (the parse error passes).
nlohmann::json ReadPluginInfo(std::istream* file);

}  // namespace asahost
