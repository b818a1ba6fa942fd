#include "base/PluginLog.h"

#include <string>

#include "base/PluginName.h"

namespace quorvane {

std::shared_ptr<spdlog::logger>& PluginLog() {
    static auto* log = new std::shared_ptr<spdlog::logger>();
    return *log;
}

void CreatePluginLog() {
    auto& sinks = GetLogSinks();
    PluginLog() =
        std::make_shared<spdlog::logger>(std::string(kPluginName), sinks.begin(), sinks.end());
    PluginLog()->set_pattern("%D %R [%n][%l] %v", spdlog::pattern_time_type::local);
    PluginLog()->flush_on(spdlog::level::info);
}

}  // namespace quorvane
