#pragma once
// The game's map as the tool plays it: a map-data file (the game server stand-in's format)
// read as the plugin would read that game's minimap data, through the plugin's own
// projection; or no map at all.

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "config/Settings.h"
#include "map/MapProjection.h"

namespace quorvane::admin {

class MapData {
  public:
    // No file: no map, so every position is 0, 0 (as for a server without a world). Throws
    // std::runtime_error for a file that cannot be read.
    explicit MapData(const std::optional<std::filesystem::path>& file);

    bool HasMap() const { return hasMap_; }
    // Whether the plugin finds a position on that game: a world with minimap data.
    bool GivesPositions() const { return !asRead_.empty(); }
    // As the plugin computes it on that game: 0, 0 without a world or minimap data.
    LatLon Position(const WorldCoordinate& coordinate) const;
    // Whether a map entry of the file holds the point (a single entry holds every point).
    bool Holds(const WorldCoordinate& coordinate) const;
    // Whether the point lies in the playable box of an entry, as quorvane.coords judges it.
    bool Playable(const WorldCoordinate& coordinate) const;
    // The main entry's playable box in Lat and Lon, as the plugin projects: its corners with
    // the least and the greatest values. None without positions.
    std::optional<std::pair<LatLon, LatLon>> PlayableBox() const;

  private:
    bool hasMap_ = false;
    std::vector<MapEntry> entries_;  // as the file lists them
    std::vector<MapEntry> asRead_;   // as the plugin reads them; empty: no position
};

}  // namespace quorvane::admin
