// The host's reading of a plugin's PluginInfo.json, as the framework reads it: only the
// library's own exceptions leave it, and what it gives is a prefix of the fields, in their
// order, each of its type.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>

#include "Check.h"
#include "PluginInfo.h"

namespace {

using fuzzing::Require;
using nlohmann::json;

bool HasType(const json& value, int field) {
    switch (field) {
        case 0:
        case 1:
            return value.is_string();
        case 2:
        case 3:
            return value.is_number_float();
        case 4:
            return value.is_array() && std::all_of(value.begin(), value.end(),
                                                   [](const json& v) { return v.is_string(); });
        default:
            return value.is_boolean();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    json read;
    try {
        read = asahost::ReadPluginInfo(&file);
    } catch (const json::exception&) {
        return 0;  // the loader refuses the plugin with the library's message
    }
    static const char* const kFields[] = {"FullName",      "Description",  "Version",
                                          "MinApiVersion", "Dependencies", "PreventUnloading"};
    Require(read.is_object() && read.size() <= std::size(kFields), "not the fields of PluginInfo");
    for (std::size_t i = 0; i < read.size(); ++i) {
        const auto field = read.find(kFields[i]);
        Require(field != read.end(), "fields read out of their order");
        Require(HasType(*field, static_cast<int>(i)), "a field read with another type");
    }
    return 0;
}
