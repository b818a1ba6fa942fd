#pragma once

#include <memory>

#include "base/Host.h"

namespace quorvane {

// The plugin's one logger; empty until CreatePluginLog. Process-wide like the framework's own
// Log: every layer writes through it, from the game thread, the loader's and the RCON
// delivery's. Never destroyed, since at process exit those threads may still be writing.
std::shared_ptr<spdlog::logger>& PluginLog();

// Builds the logger over a copy of the host's sinks: line layout "%D %R [%n][%l] %v" in
// local time, every line flushed. It is not registered anywhere.
void CreatePluginLog();
// Drops the logger once the plugin's threads are gone: when it is unloaded.
void ReleasePluginLog();

}  // namespace quorvane
