#include "base/PluginLog.h"

#include <new>
#include <string>

#include "base/PluginName.h"

namespace quorvane {

std::shared_ptr<spdlog::logger>& PluginLog() {
    // Built in place in the library's own storage and never destroyed: no destructor runs at
    // process exit under threads that may still write, and nothing is left on the heap once
    // the library is unloaded.
    using Handle = std::shared_ptr<spdlog::logger>;
    alignas(Handle) static unsigned char storage[sizeof(Handle)];
    static Handle* const log = new (storage) Handle();
    return *log;
}

void CreatePluginLog() {
    auto& sinks = GetLogSinks();
    PluginLog() =
        std::make_shared<spdlog::logger>(std::string(kPluginName), sinks.begin(), sinks.end());
    PluginLog()->set_pattern("%D %R [%n][%l] %v", spdlog::pattern_time_type::local);
    PluginLog()->flush_on(spdlog::level::info);
}

void ReleasePluginLog() {
    PluginLog().reset();
}

}  // namespace quorvane
