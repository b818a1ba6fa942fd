#include "MapData.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace quorvane::admin {
namespace {

MapVector Vector(const nlohmann::json& values) {
    return {values.at(0).get<double>(), values.at(1).get<double>(),
            values.size() > 2 ? values.at(2).get<double>() : 0.0};
}

}  // namespace

MapData::MapData(const std::optional<std::filesystem::path>& file) {
    if (!file) {
        return;
    }
    std::ifstream stream(*file);
    if (!stream) {
        throw std::runtime_error("cannot open map data " + file->string());
    }
    const auto json = nlohmann::json::parse(stream);
    hasMap_ = true;
    for (const auto& entry : json.value("entries", nlohmann::json::array())) {
        entries_.push_back({Vector(entry.at("PlayableMin")), Vector(entry.at("PlayableMax")),
                            Vector(entry.at("OriginMin")), Vector(entry.at("OriginMax"))});
    }
    // What the plugin finds in such a game: no world or no minimap data, no position; no
    // reflection data for the entries, every entry read as the first.
    if (!json.value("world", true) || json.value("minimapData", "current") == "none") {
        return;
    }
    asRead_ = entries_;
    if (!json.value("staticStruct", true)) {
        for (auto& entry : asRead_) {
            entry = entries_.front();
        }
    }
}

LatLon MapData::Position(const WorldCoordinate& coordinate) const {
    return asRead_.empty() ? LatLon{} : Project(asRead_, coordinate).Position;
}

bool MapData::Holds(const WorldCoordinate& coordinate) const {
    return ChooseEntry(entries_, coordinate).has_value();
}

}  // namespace quorvane::admin

namespace quorvane::admin {

bool MapData::Playable(const WorldCoordinate& coordinate) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const MapEntry& entry) { return quorvane::Holds(entry, coordinate); });
}

std::optional<std::pair<LatLon, LatLon>> MapData::PlayableBox() const {
    if (asRead_.empty()) {
        return std::nullopt;
    }
    const auto& box = asRead_.front();
    const std::vector<MapEntry> main{box};
    const auto at = [&](double x, double y) {
        constexpr double kFloat = (std::numeric_limits<float>::max)();
        return Project(main, {static_cast<float>(std::clamp(x, -kFloat, kFloat)),
                              static_cast<float>(std::clamp(y, -kFloat, kFloat)), 0})
            .Position;
    };
    const LatLon a = at(box.PlayableMin.X, box.PlayableMin.Y);
    const LatLon b = at(box.PlayableMax.X, box.PlayableMax.Y);
    return std::pair{LatLon{(std::min)(a.Lat, b.Lat), (std::min)(a.Lon, b.Lon)},
                     LatLon{(std::max)(a.Lat, b.Lat), (std::max)(a.Lon, b.Lon)}};
}

}  // namespace quorvane::admin
