#pragma once
// `quorvane-config preview`: for each event and coordinate of one server, exactly what the
// plugin would send: the console command, each client's arguments and the Discord request.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "config/Settings.h"

namespace quorvane::admin {

class MapData;

// Throws std::invalid_argument for an event id the server does not have.
nlohmann::json Preview(const Settings& settings, const std::optional<std::string>& eventId,
                       const MapData& map);

std::string PreviewText(const nlohmann::json& preview);

}  // namespace quorvane::admin
