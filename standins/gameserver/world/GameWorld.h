#pragma once
// The game's world as far as the map goes: a UWorld, its world settings, the minimap data
// class and its default object with the map-data entries. Plugins reach all of it only
// through the names the host knows, never through these layouts.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "API/Base.h"
#include "API/UE/Math/Vector.h"

namespace gameserver {

struct GamePlayer;

struct MapEntry {
    FVector playableMin{};
    FVector playableMax{};
    double originMin[2]{};  // X, Y
    double originMax[2]{};
};

struct MapSettings {
    bool world = true;
    // Where the minimap data class is found: named by the world settings, only through the
    // fallback class path, or nowhere.
    enum class Minimap { Current, Fallback, None } minimap = Minimap::Current;
    // False: the game finds no reflection data for FMapData.
    bool staticStruct = true;
    std::vector<MapEntry> entries;
};

// The map the game stand-in plays when it is given none.
MapSettings DefaultMap();
// A map-data file; throws on a file that cannot be read or holds no such map.
MapSettings LoadMap(const std::filesystem::path& file);

// Registers the world's functions and fields under their game names. Once per process.
void RegisterWorldNames();

class GameWorld {
  public:
    explicit GameWorld(const MapSettings& settings);
    ~GameWorld();
    GameWorld(const GameWorld&) = delete;
    GameWorld& operator=(const GameWorld&) = delete;

    // Null for a map without a world.
    UWorld* World() const;
    // The players on the server, as UWorld.PlayerControllerList holds them. On the game thread.
    void SetPlayers(int count);
    // `count` of them leave: their controllers go, their slots stay listed, as between a
    // player's logout and the list's next clean-up. How many left. On the game thread.
    int LeavePlayers(int count);
    // The player online named `name`; one who joins now when there is none. SetPlayers names
    // its players Player1, Player2 and so on. On the game thread.
    GamePlayer* Join(const std::string& name);
    // UWorld.TimeSeconds: game seconds since the world began. On the game thread.
    void SetTime(long double seconds);

  private:
    GamePlayer* AddPlayer(const std::string& name);

    struct Objects;
    std::unique_ptr<Objects> objects_;
};

}  // namespace gameserver
