#include "config/Settings.h"

namespace quorvane {

Settings& EventSettings() {
    static Settings settings;
    return settings;
}

nlohmann::json& ConfigDocument() {
    static nlohmann::json document;
    return document;
}

}  // namespace quorvane
