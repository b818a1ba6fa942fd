#pragma once
// The game's map as the tool plays it: the map-data file's world (as the game server stand-in
// plays it) through the plugin's own projection, or no world at all.

#include <filesystem>
#include <memory>
#include <optional>

#include "GameWorld.h"
#include "config/Settings.h"
#include "map/MapProjector.h"

namespace quorvane::admin {

class MapWorld {
  public:
    // No file: no world, so every position is 0, 0 (as for a server without one). Throws
    // std::runtime_error for a file that cannot be read.
    explicit MapWorld(const std::optional<std::filesystem::path>& mapData);
    ~MapWorld();
    MapWorld(const MapWorld&) = delete;
    MapWorld& operator=(const MapWorld&) = delete;

    bool HasMap() const { return world_ != nullptr; }
    LatLon Position(const WorldCoordinate& coordinate) const;
    // Whether a map entry holds the point (a single entry holds every point).
    bool Holds(const WorldCoordinate& coordinate) const;

  private:
    gameserver::MapSettings map_;
    std::unique_ptr<gameserver::GameWorld> world_;
};

}  // namespace quorvane::admin
