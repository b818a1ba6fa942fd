#pragma once

#include "config/Settings.h"

namespace quorvane {

// A map position in percent of the map: Lat from world X, Lon from world Y.
struct LatLon {
    double Lat = 0;
    double Lon = 0;
};

namespace MapProjector {

// The map position of a world coordinate, from the running game's minimap data. (0, 0)
// without a world; (0, 0) and a warning when the map data cannot be found. Always finite: a
// Lat or Lon beyond float is 0, with a warning.
LatLon WorldToLatLon(const WorldCoordinate& coordinate);

}  // namespace MapProjector
}  // namespace quorvane
