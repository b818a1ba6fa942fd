#pragma once
// The framework's logging: every plugin's logger writes through the shared sinks.

#include <memory>
#include <string>
#include <vector>

#include <spdlog/spdlog.h>

#include "API/Base.h"

ARK_API std::vector<spdlog::sink_ptr>& APIENTRY GetLogSinks();
