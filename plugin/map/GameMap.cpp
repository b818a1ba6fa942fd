#include "map/GameMap.h"

#include <cstdint>
#include <cstring>

#include "base/Host.h"
#include "base/PluginLog.h"

namespace quorvane::GameMap {
namespace {

constexpr const char* kFallbackClassPath =
    "Blueprint'/Game/ASA/Minimap/Core/MinimapData_Base.MinimapData_Base'";

// "In any package", for Global.StaticFindObject.
UObject* const kAnyPackage = reinterpret_cast<UObject*>(-1);

// Game functions are called through the addresses the host looks up by name each time. A
// name the game lacks ends the server, unless the framework is told not to: then it is null.
template <typename Function>
Function* GameFunction(const char* name) {
    return reinterpret_cast<Function*>(GetAddress(name));
}

template <typename T>
T ReadField(const void* object, const char* name) {
    T value;
    std::memcpy(&value, reinterpret_cast<const void*>(GetAddress(object, name)), sizeof value);
    return value;
}

struct MapDataArray {
    const unsigned char* data;
    std::int32_t count;
};

MapDataArray ReadArray(const UObject* minimapData) {
    const auto* field =
        reinterpret_cast<const char*>(GetAddress(minimapData, "UMinimapData.MinimapData"));
    MapDataArray entries{};
    std::memcpy(&entries.data, field, sizeof entries.data);
    std::memcpy(&entries.count, field + sizeof(void*), sizeof entries.count);
    return entries;
}

// The reflection data of FMapData, found as the framework's StaticStruct() finds a struct:
// the class named "ScriptStruct", then the struct of that class named without its "F".
// Null when the game has none.
const void* MapDataStruct() {
    auto* findObject = GameFunction<UObject*(UClass*, UObject*, const wchar_t*, bool)>(
        "Global.StaticFindObject(UClass*,UObject*,wchar_t*,bool)");
    if (findObject == nullptr) {
        return nullptr;
    }
    auto* scriptStructClass =
        reinterpret_cast<UClass*>(findObject(nullptr, kAnyPackage, L"ScriptStruct", true));
    if (scriptStructClass == nullptr) {
        return nullptr;
    }
    return findObject(scriptStructClass, kAnyPackage, L"MapData", true);
}

constexpr const char* kGetWorldSettings = "UWorld.GetWorldSettings(bool,bool)";
constexpr const char* kGetDefaultObject = "UClass.GetDefaultObject(bool)";
constexpr const char* kStringReferenceToClass = "UVictoryCore.StringReferenceToClass(FString&)";

// The minimap data object of the running world, or null with the reason.
const UObject* FindMinimapData(UWorld* world, std::string& reason) {
    auto* getSettings = GameFunction<APrimalWorldSettings*(UWorld*, bool, bool)>(kGetWorldSettings);
    auto* getDefaultObject = GameFunction<UObject*(UClass*, bool)>(kGetDefaultObject);
    if (getSettings == nullptr || getDefaultObject == nullptr) {
        reason = std::string("the game lacks ") +
                 (getSettings == nullptr ? kGetWorldSettings : kGetDefaultObject);
        return nullptr;
    }
    APrimalWorldSettings* settings = getSettings(world, false, true);
    if (settings == nullptr) {
        reason = "the world has no settings";
        return nullptr;
    }
    UClass* minimapClass = ReadField<UClass*>(settings, "APrimalWorldSettings.CurrentMinimapData");
    if (minimapClass == nullptr) {
        // The class comes back in the caller's record, whose one word is the class. Typed
        // with the game's own types only, so the call has the very type of the game's function.
        auto* toClass = GameFunction<UClass**(UClass**, FString*)>(kStringReferenceToClass);
        if (toClass == nullptr) {
            reason = std::string("the game lacks ") + kStringReferenceToClass;
            return nullptr;
        }
        FString path(kFallbackClassPath);
        UClass* reference = nullptr;
        toClass(&reference, &path);
        minimapClass = reference;
    }
    if (minimapClass == nullptr) {
        reason = "there is no minimap data class";
        return nullptr;
    }
    const UObject* minimapData = getDefaultObject(minimapClass, true);
    if (minimapData == nullptr) {
        reason = "the minimap data class has no default object";
    }
    return minimapData;
}

MapVector ReadVector(const void* entry, const char* field) {
    // The game's FVector: three doubles, as MapVector holds them.
    static_assert(sizeof(MapVector) == 3 * sizeof(double));
    return ReadField<MapVector>(entry, field);
}

MapEntry ReadEntry(const void* entry, bool playable) {
    MapEntry out;
    if (playable) {
        out.PlayableMin = ReadVector(entry, "FMapData.PlayableMin");
        out.PlayableMax = ReadVector(entry, "FMapData.PlayableMax");
    }
    out.OriginMin = ReadVector(entry, "FMapData.OriginMin");
    out.OriginMax = ReadVector(entry, "FMapData.OriginMax");
    return out;
}

}  // namespace

std::optional<std::vector<MapEntry>> ReadEntries(bool playable, std::string& reason) {
    UWorld* world = AsaApi::GetApiUtils().GetWorld();
    if (world == nullptr) {
        reason = "the game has no world";
        return std::nullopt;
    }
    const UObject* minimapData = FindMinimapData(world, reason);
    if (minimapData == nullptr) {
        return std::nullopt;
    }
    const auto array = ReadArray(minimapData);
    if (array.count <= 0 || array.data == nullptr) {
        reason = "the minimap data has no map entries";
        return std::nullopt;
    }
    if (array.count == 1 && !playable) {
        return std::vector<MapEntry>{ReadEntry(array.data, false)};
    }
    // The entries lie FMapData's size apart, which only the game's reflection data knows;
    // without it every entry reads as the first.
    std::int32_t stride = 0;
    if (const void* reflected = MapDataStruct()) {
        stride = ReadField<std::int32_t>(reflected, "UStruct.PropertiesSize");
    }
    std::vector<MapEntry> entries;
    std::uint32_t offset = 0;  // wraps like the game's 32-bit sum
    for (std::int32_t i = 0; i < array.count; ++i) {
        entries.push_back(ReadEntry(array.data + static_cast<std::int32_t>(offset), true));
        offset += static_cast<std::uint32_t>(stride);
    }
    return entries;
}

LatLon WorldToLatLon(const WorldCoordinate& coordinate) {
    if (AsaApi::GetApiUtils().GetWorld() == nullptr) {
        return {};
    }
    std::string reason;
    const auto entries = ReadEntries(false, reason);
    if (!entries) {
        PluginLog()->warn("Map position unknown: {}; Lat and Lon are 0", reason);
        return {};
    }
    const Projection projection = Project(*entries, coordinate);
    for (const auto& warning : projection.Warnings) {
        PluginLog()->warn("{}", warning);
    }
    return projection.Position;
}

}  // namespace quorvane::GameMap
