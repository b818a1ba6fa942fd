#pragma once
// The running game's map: its minimap data, read by name through the host.

#include <optional>
#include <string>
#include <vector>

#include "map/MapProjection.h"

namespace quorvane::GameMap {

// The map entries of the running world; none, with the reason, when the game has no world
// or its map data cannot be found. With `playable` false, a map of a single entry is read
// without its playable box, which the projection does not need then.
std::optional<std::vector<MapEntry>> ReadEntries(bool playable, std::string& reason);

// The map position of a world coordinate on the running map, warnings logged. (0, 0) without
// a world; (0, 0) and a warning when the map data cannot be found.
LatLon WorldToLatLon(const WorldCoordinate& coordinate);

}  // namespace quorvane::GameMap
