#include "MapData.h"

#include <fstream>
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
