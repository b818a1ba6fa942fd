#include "map/MapProjection.h"

#include <cmath>
#include <limits>

#include "base/Text.h"

namespace quorvane {
namespace {

// The result carries float precision. Through a volatile store: g++ 12 at -O2 vectorises the
// two projections and drops a plain float cast.
double RoundToFloat(double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// A percentage beyond float (an origin rectangle of no width, a NaN, a point far off the map)
// would reach the announcements as "nan" or "inf"; it is 0 instead, with a warning.
double Percent(const char* name, const char* axis, double value, double originMin, double originMax,
               std::vector<std::string>& warnings) {
    const double q = (value - originMax) / (originMin - originMax);
    const double percent = 100.0 - q * 100.0;
    if (!(std::fabs(percent) <= (std::numeric_limits<float>::max)())) {
        warnings.push_back(std::string(name) + " from " + axis + ": " + FormatG(value) +
                           " over the origin " + FormatG(originMin) + " to " + FormatG(originMax) +
                           " is not finite; " + name + " is 0");
        return 0;
    }
    return RoundToFloat(percent);
}

}  // namespace

bool Holds(const MapEntry& entry, const WorldCoordinate& coordinate) {
    const double x = coordinate.X;
    const double y = coordinate.Y;
    const double z = coordinate.Z;
    const auto& min = entry.PlayableMin;
    const auto& max = entry.PlayableMax;
    // Each comparison fails on NaN, so a point with a NaN component is outside.
    return max.X > x && max.Y > y && x > min.X && y > min.Y && max.Z > z && z > min.Z;
}

std::optional<std::size_t> ChooseEntry(const std::vector<MapEntry>& entries,
                                       const WorldCoordinate& coordinate) {
    if (entries.size() == 1) {
        return 0;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (Holds(entries[i], coordinate)) {
            return i;
        }
    }
    return std::nullopt;
}

Projection Project(const std::vector<MapEntry>& entries, const WorldCoordinate& coordinate) {
    Projection out;
    const auto chosen = ChooseEntry(entries, coordinate);
    if (!chosen) {
        out.Warnings.push_back("No map entry holds X: " + FormatG(coordinate.X) +
                               ", Y: " + FormatG(coordinate.Y) + ", Z: " + FormatG(coordinate.Z) +
                               "; using the first one");
    }
    const MapEntry& entry = entries[chosen.value_or(0)];
    out.Position.Lat =
        Percent("Lat", "X", coordinate.X, entry.OriginMin.X, entry.OriginMax.X, out.Warnings);
    out.Position.Lon =
        Percent("Lon", "Y", coordinate.Y, entry.OriginMin.Y, entry.OriginMax.Y, out.Warnings);
    return out;
}

}  // namespace quorvane
