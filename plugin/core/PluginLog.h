#pragma once

#include <memory>

#include "core/Host.h"

namespace quorvane {

// The plugin's one logger; empty until CreatePluginLog.
std::shared_ptr<spdlog::logger>& PluginLog();

// Builds the logger over a copy of the host's sinks: line layout "%D %R [%n][%l] %v" in
// local time, every line flushed. It is not registered anywhere.
void CreatePluginLog();

}  // namespace quorvane
