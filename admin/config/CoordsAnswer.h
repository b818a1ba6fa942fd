#pragma once
// The answer of `quorvane.coords` saved to a file: each coordinate of one server's events with
// the Lat and Lon its running game gave it, and whether it lies outside the playable area.
// A line is known by the event id, label and coordinate as the command writes them for these
// settings, so a log's prefix before it does no harm.

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "config/Settings.h"
#include "map/MapProjection.h"

namespace quorvane::admin {

struct KnownPosition {
    LatLon Position;
    bool Outside = false;  // of the playable area
};

struct CoordsAnswer {
    // By event index and coordinate index in the settings.
    std::map<std::pair<std::size_t, std::size_t>, KnownPosition> Positions;
    // The game had no map: why, as it said.
    std::optional<std::string> NoMap;
    // Lines that give a position for no coordinate of these settings (a config changed since).
    std::size_t Unmatched = 0;
};

CoordsAnswer ParseCoordsAnswer(const std::string& text, const Settings& settings);
// Throws std::runtime_error for a file that cannot be read.
CoordsAnswer ReadCoordsAnswer(const std::filesystem::path& file, const Settings& settings);

}  // namespace quorvane::admin
