#pragma once

#include <vector>

#include <spdlog/spdlog.h>

#include "API/Base.h"

// The sinks every plugin's logger writes through; shared, thread-safe.
ARK_API std::vector<spdlog::sink_ptr>& GetLogSinks();
