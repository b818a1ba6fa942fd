#include "GameWorld.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

#include "API/UE/Containers/UnrealString.h"
#include "GamePlayer.h"
#include "Host/GameRegistry.h"

// The game's own layouts. Fields sit at odd places, and a map-data entry is larger than its
// four vectors, so a plugin that assumed a layout instead of asking by name would misread.
struct UClass {
    void* vtable;
    UObject* defaultObject;
};

struct UStruct {
    char header[24];
    std::int32_t propertiesSize;
};

struct APrimalWorldSettings {
    char header[40];
    UClass* currentMinimapData;
};

// The game's dynamic array: element pointer, then a signed 32-bit count.
template <typename T>
struct GameArray {
    T* Data;
    int ArrayNum;
    int ArrayMax;
};

// A weak pointer to an object: its index and serial number.
struct WeakPointer {
    int index;
    int serial;
};

// The world behind the framework's UWorld.
struct WorldObject {
    char header[16];
    APrimalWorldSettings* settings;
    char more[24];
    GameArray<WeakPointer> playerControllers;
    long double timeSeconds;
};

struct UMinimapData {
    char header[56];
    GameArray<FMapData> minimapData;
};

namespace gameserver {
namespace {

constexpr const char* kFallbackClassPath =
    "Blueprint'/Game/ASA/Minimap/Core/MinimapData_Base.MinimapData_Base'";

constexpr std::int32_t kEntrySize = 160;
constexpr std::ptrdiff_t kPlayableMin = 16;
constexpr std::ptrdiff_t kPlayableMax = 40;
constexpr std::ptrdiff_t kOriginMin = 88;
constexpr std::ptrdiff_t kOriginMax = 112;

// Classes reachable by their path through UVictoryCore.StringReferenceToClass.
std::mutex classesMutex;
std::unordered_map<std::string, UClass*> classesByPath;

// The objects alive, by their weak pointers' index: a weak pointer to one that is gone, or
// to its slot reused by another (a new serial), finds nothing.
std::mutex objectsMutex;
std::unordered_map<int, std::pair<int, void*>> liveObjects;
int nextObjectIndex = 1;

void* WeakGet(WeakPointer* pointer, bool) {
    std::lock_guard lock(objectsMutex);
    const auto found = liveObjects.find(pointer->index);
    return found != liveObjects.end() && found->second.first == pointer->serial
               ? found->second.second
               : nullptr;
}

// Whether the game finds reflection data for FMapData.
std::atomic<bool> staticStructAvailable{true};
UStruct mapDataStruct{{}, kEntrySize};
// The class of reflected structs, found by its name "ScriptStruct".
UClass scriptStructClass{};
// What Global.StaticFindObject takes for "in any package".
UObject* const kAnyPackage = reinterpret_cast<UObject*>(-1);

APrimalWorldSettings* GetWorldSettings(UWorld* world, bool, bool) {
    return reinterpret_cast<WorldObject*>(world)->settings;
}

UObject* GetDefaultObject(UClass* cls, bool) {
    return cls->defaultObject;
}

// A class reference comes back through the caller's record, whose one word is the class.
UClass** StringReferenceToClass(UClass** result, FString* path) {
    std::string narrow;
    for (int i = 0; i < path->Len(); ++i) {
        narrow += static_cast<char>((**path)[i]);
    }
    std::lock_guard lock(classesMutex);
    const auto found = classesByPath.find(narrow);
    *result = found == classesByPath.end() ? nullptr : found->second;
    return result;
}

// The game's lookup of an object by class and name; here only the reflected structs.
UObject* StaticFindObject(UClass* objectClass, UObject* outer, const wchar_t* name, bool) {
    if (outer != kAnyPackage || name == nullptr) {
        return nullptr;
    }
    const std::wstring_view wanted(name);
    if (objectClass == nullptr && wanted == L"ScriptStruct") {
        return reinterpret_cast<UObject*>(&scriptStructClass);
    }
    if (objectClass == &scriptStructClass && wanted == L"MapData" && staticStructAvailable) {
        return reinterpret_cast<UObject*>(&mapDataStruct);
    }
    return nullptr;
}

FVector Vector(const nlohmann::json& values) {
    return {values.at(0).get<double>(), values.at(1).get<double>(),
            values.size() > 2 ? values.at(2).get<double>() : 0.0};
}

}  // namespace

struct GameWorld::Objects {
    WorldObject world{};
    std::vector<WeakPointer> players;
    // Alive while their player is on the server; plugins reach them only through
    // FWeakObjectPtr.Get.
    std::vector<std::unique_ptr<GamePlayer>> controllers;
    APrimalWorldSettings settings{};
    UClass minimapClass{};
    UMinimapData minimapData{};
    std::vector<unsigned char> entries;
    bool hasWorld = true;
    bool registeredFallback = false;
};

MapSettings DefaultMap() {
    MapSettings map;
    MapEntry island;
    island.playableMin = {-400000, -400000, -100000};
    island.playableMax = {400000, 400000, 100000};
    island.originMin[0] = island.originMin[1] = -400000;
    island.originMax[0] = island.originMax[1] = 400000;
    map.entries.push_back(island);
    return map;
}

MapSettings LoadMap(const std::filesystem::path& file) {
    std::ifstream stream(file);
    if (!stream) {
        throw std::runtime_error("cannot open map data " + file.string());
    }
    const auto json = nlohmann::json::parse(stream);
    MapSettings map;
    map.world = json.value("world", true);
    const std::string minimap = json.value("minimapData", "current");
    map.minimap = minimap == "fallback" ? MapSettings::Minimap::Fallback
                  : minimap == "none"   ? MapSettings::Minimap::None
                                        : MapSettings::Minimap::Current;
    map.staticStruct = json.value("staticStruct", true);
    for (const auto& entry : json.value("entries", nlohmann::json::array())) {
        MapEntry out;
        out.playableMin = Vector(entry.at("PlayableMin"));
        out.playableMax = Vector(entry.at("PlayableMax"));
        const FVector originMin = Vector(entry.at("OriginMin"));
        const FVector originMax = Vector(entry.at("OriginMax"));
        out.originMin[0] = originMin.X;
        out.originMin[1] = originMin.Y;
        out.originMax[0] = originMax.X;
        out.originMax[1] = originMax.Y;
        map.entries.push_back(out);
    }
    return map;
}

void RegisterWorldNames() {
    using asahost::RegisterField;
    using asahost::RegisterFunction;
    RegisterFunction("UWorld.GetWorldSettings(bool,bool)",
                     reinterpret_cast<void*>(&GetWorldSettings));
    RegisterFunction("UClass.GetDefaultObject(bool)", reinterpret_cast<void*>(&GetDefaultObject));
    RegisterFunction("UVictoryCore.StringReferenceToClass(FString&)",
                     reinterpret_cast<void*>(&StringReferenceToClass));
    RegisterFunction("Global.StaticFindObject(UClass*,UObject*,wchar_t*,bool)",
                     reinterpret_cast<void*>(&StaticFindObject));
    RegisterFunction("FWeakObjectPtr.Get()", reinterpret_cast<void*>(&WeakGet));
    RegisterField("APrimalWorldSettings.CurrentMinimapData",
                  offsetof(APrimalWorldSettings, currentMinimapData));
    RegisterField("UMinimapData.MinimapData", offsetof(UMinimapData, minimapData));
    RegisterField("UStruct.PropertiesSize", offsetof(UStruct, propertiesSize));
    RegisterField("UWorld.PlayerControllerList", offsetof(WorldObject, playerControllers));
    RegisterField("UWorld.TimeSeconds", offsetof(WorldObject, timeSeconds));
    RegisterField("AShooterPlayerController.LastChatMessageTime",
                  offsetof(GamePlayer, lastChatMessageTime));
    RegisterField("FMapData.PlayableMin", kPlayableMin);
    RegisterField("FMapData.PlayableMax", kPlayableMax);
    RegisterField("FMapData.OriginMin", kOriginMin);
    RegisterField("FMapData.OriginMax", kOriginMax);
}

GameWorld::GameWorld(const MapSettings& settings) : objects_(std::make_unique<Objects>()) {
    auto& o = *objects_;
    o.hasWorld = settings.world;
    o.world.settings = &o.settings;
    o.minimapClass.defaultObject = reinterpret_cast<UObject*>(&o.minimapData);
    o.settings.currentMinimapData =
        settings.minimap == MapSettings::Minimap::Current ? &o.minimapClass : nullptr;
    if (settings.minimap != MapSettings::Minimap::None) {
        std::lock_guard lock(classesMutex);
        classesByPath[kFallbackClassPath] = &o.minimapClass;
        o.registeredFallback = true;
    }
    staticStructAvailable = settings.staticStruct;

    // Unused bytes carry a pattern, so that reading them gives nonsense, not zeros.
    o.entries.assign(settings.entries.size() * kEntrySize, 0xCD);
    for (std::size_t i = 0; i < settings.entries.size(); ++i) {
        const MapEntry& entry = settings.entries[i];
        unsigned char* element = o.entries.data() + i * kEntrySize;
        const FVector originMin{entry.originMin[0], entry.originMin[1], 0};
        const FVector originMax{entry.originMax[0], entry.originMax[1], 0};
        std::memcpy(element + kPlayableMin, &entry.playableMin, sizeof(FVector));
        std::memcpy(element + kPlayableMax, &entry.playableMax, sizeof(FVector));
        std::memcpy(element + kOriginMin, &originMin, sizeof(FVector));
        std::memcpy(element + kOriginMax, &originMax, sizeof(FVector));
    }
    o.minimapData.minimapData.Data = reinterpret_cast<FMapData*>(o.entries.data());
    o.minimapData.minimapData.ArrayNum = static_cast<int>(settings.entries.size());
    o.minimapData.minimapData.ArrayMax = o.minimapData.minimapData.ArrayNum;
}

GameWorld::~GameWorld() {
    SetPlayers(0);
    if (objects_->registeredFallback) {
        std::lock_guard lock(classesMutex);
        const auto found = classesByPath.find(kFallbackClassPath);
        if (found != classesByPath.end() && found->second == &objects_->minimapClass) {
            classesByPath.erase(found);
        }
    }
}

UWorld* GameWorld::World() const {
    return objects_->hasWorld ? reinterpret_cast<UWorld*>(&objects_->world) : nullptr;
}

void GameWorld::SetPlayers(int count) {
    auto& o = *objects_;
    {
        std::lock_guard lock(objectsMutex);
        for (const auto& slot : o.players) {
            liveObjects.erase(slot.index);
        }
        o.players.clear();
        o.controllers.clear();
    }
    for (int i = 0; i < count; ++i) {
        AddPlayer("Player" + std::to_string(i + 1));
    }
    o.world.playerControllers.Data = o.players.data();
    o.world.playerControllers.ArrayNum = static_cast<int>(o.players.size());
    o.world.playerControllers.ArrayMax = o.world.playerControllers.ArrayNum;
}

GamePlayer* GameWorld::AddPlayer(const std::string& name) {
    auto& o = *objects_;
    std::lock_guard lock(objectsMutex);
    auto controller = std::make_unique<GamePlayer>(name);
    const int index = nextObjectIndex++;
    liveObjects[index] = {1, controller.get()};
    o.players.push_back({index, 1});
    o.controllers.push_back(std::move(controller));
    o.world.playerControllers.Data = o.players.data();
    o.world.playerControllers.ArrayNum = static_cast<int>(o.players.size());
    o.world.playerControllers.ArrayMax = o.world.playerControllers.ArrayNum;
    return o.controllers.back().get();
}

GamePlayer* GameWorld::Join(const std::string& name) {
    auto& o = *objects_;
    {
        std::lock_guard lock(objectsMutex);
        for (std::size_t i = 0; i < o.players.size(); ++i) {
            const auto found = liveObjects.find(o.players[i].index);
            auto* player = found == liveObjects.end()
                               ? nullptr
                               : static_cast<GamePlayer*>(found->second.second);
            if (player != nullptr && name == player->name) {
                return player;
            }
        }
    }
    return AddPlayer(name);
}

void GameWorld::SetTime(long double seconds) {
    objects_->world.timeSeconds = seconds;
}

int GameWorld::LeavePlayers(int count) {
    auto& o = *objects_;
    std::lock_guard lock(objectsMutex);
    int left = 0;
    for (auto slot = o.players.rbegin(); slot != o.players.rend() && left < count; ++slot) {
        left += static_cast<int>(liveObjects.erase(slot->index));
    }
    return left;
}

}  // namespace gameserver
