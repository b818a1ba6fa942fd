#include "MapWorld.h"

#include "Host/GameRegistry.h"

namespace quorvane::admin {

MapWorld::MapWorld(const std::optional<std::filesystem::path>& mapData) {
    if (!mapData) {
        return;
    }
    map_ = gameserver::LoadMap(*mapData);
    gameserver::RegisterWorldNames();
    world_ = std::make_unique<gameserver::GameWorld>(map_);
    asahost::SetWorld(world_->World());
}

MapWorld::~MapWorld() {
    if (world_) {
        asahost::SetWorld(nullptr);
    }
}

LatLon MapWorld::Position(const WorldCoordinate& coordinate) const {
    return MapProjector::WorldToLatLon(coordinate);
}

bool MapWorld::Holds(const WorldCoordinate& c) const {
    if (map_.entries.size() == 1) {
        return true;
    }
    const double x = c.X;
    const double y = c.Y;
    const double z = c.Z;
    for (const auto& entry : map_.entries) {
        const auto& min = entry.playableMin;
        const auto& max = entry.playableMax;
        if (max.X > x && max.Y > y && x > min.X && y > min.Y && max.Z > z && z > min.Z) {
            return true;
        }
    }
    return false;
}

}  // namespace quorvane::admin
