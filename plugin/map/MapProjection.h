#pragma once
// The map's geometry, apart from where it comes from: the entries of the game's minimap data,
// which entry a world coordinate belongs to, and its Lat and Lon there. Pure: no game.

#include <optional>
#include <string>
#include <vector>

#include "config/Settings.h"

namespace quorvane {

// A map position in percent of the map: Lat from world X, Lon from world Y.
struct LatLon {
    double Lat = 0;
    double Lon = 0;
};

struct MapVector {
    double X = 0;
    double Y = 0;
    double Z = 0;
};

// One entry of the game's FMapData: the box where players can be, and the world rectangle
// that the map's picture spans.
struct MapEntry {
    MapVector PlayableMin;
    MapVector PlayableMax;
    MapVector OriginMin;
    MapVector OriginMax;
};

// Whether the entry's playable box strictly holds the point; never for a NaN.
bool Holds(const MapEntry& entry, const WorldCoordinate& coordinate);

// The entry a coordinate belongs to: the first whose playable box holds it, and a single
// entry whatever the point. None when no entry holds it.
std::optional<std::size_t> ChooseEntry(const std::vector<MapEntry>& entries,
                                       const WorldCoordinate& coordinate);

struct Projection {
    LatLon Position;
    // What a person should know: the coordinate lies in no entry, or a percentage was beyond
    // float and is 0.
    std::vector<std::string> Warnings;
};

// The coordinate's Lat and Lon in its entry, or in the first one (the main map) when none
// holds it. Always finite, with float precision. `entries` must not be empty.
Projection Project(const std::vector<MapEntry>& entries, const WorldCoordinate& coordinate);

}  // namespace quorvane
