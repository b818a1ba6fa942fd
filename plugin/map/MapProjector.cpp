#include "map/MapProjector.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "core/FStringText.h"
#include "core/Host.h"
#include "core/PluginLog.h"

namespace quorvane::MapProjector {
namespace {

constexpr const char* kFallbackClassPath =
    "Blueprint'/Game/ASA/Minimap/Core/MinimapData_Base.MinimapData_Base'";

// The game's vector, as its fields hold it.
struct Vector3 {
    double X;
    double Y;
    double Z;
};

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

MapDataArray ReadEntries(const UObject* minimapData) {
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

bool StrictlyInside(const void* entry, double x, double y, double z) {
    const auto min = ReadField<Vector3>(entry, "FMapData.PlayableMin");
    const auto max = ReadField<Vector3>(entry, "FMapData.PlayableMax");
    // Each comparison fails on NaN, so a point with a NaN component is outside.
    return max.X > x && max.Y > y && x > min.X && y > min.Y && max.Z > z && z > min.Z;
}

// The first entry whose playable box strictly holds the point; with a single entry, that
// one whatever the point. Null when none holds it.
const void* ChooseEntry(const UObject* minimapData, const MapDataArray& first, double x, double y,
                        double z) {
    if (first.count == 1) {
        return first.data;
    }
    std::int32_t stride = 0;
    if (const void* reflected = MapDataStruct()) {
        stride = ReadField<std::int32_t>(reflected, "UStruct.PropertiesSize");
    }
    std::uint32_t offset = 0;  // wraps like the game's 32-bit sum
    for (std::int32_t i = 0;; ++i) {
        const auto entries = ReadEntries(minimapData);
        if (i >= entries.count) {
            return nullptr;
        }
        const void* entry = entries.data + static_cast<std::int32_t>(offset);
        if (StrictlyInside(entry, x, y, z)) {
            return entry;
        }
        offset += static_cast<std::uint32_t>(stride);
    }
}

// The result carries float precision. Through a volatile store: g++ 12 at -O2 vectorises the
// two projections and drops a plain float cast.
double RoundToFloat(double value) {
    volatile float rounded = static_cast<float>(value);
    return rounded;
}

// A percentage beyond float (an origin rectangle of no width, a NaN, a point far off the map)
// would reach the announcements as "nan" or "inf"; it is 0 instead, with a warning.
double Percent(const char* name, const char* axis, double value, double originMin,
               double originMax) {
    const double q = (value - originMax) / (originMin - originMax);
    const double percent = 100.0 - q * 100.0;
    if (!(std::fabs(percent) <= (std::numeric_limits<float>::max)())) {
        PluginLog()->warn("{} from {}: {:g} over the origin {:g} to {:g} is not finite; {} is 0",
                          name, axis, value, originMin, originMax, name);
        return 0;
    }
    return RoundToFloat(percent);
}

LatLon Unknown(const std::string& reason) {
    PluginLog()->warn("Map position unknown: {}; Lat and Lon are 0", reason);
    return {};
}

}  // namespace

LatLon WorldToLatLon(const WorldCoordinate& coordinate) {
    if (AsaApi::GetApiUtils().GetWorld() == nullptr) {
        return {};
    }
    const double x = coordinate.X;
    const double y = coordinate.Y;
    const double z = coordinate.Z;

    std::string reason;
    const UObject* minimapData = FindMinimapData(AsaApi::GetApiUtils().GetWorld(), reason);
    if (minimapData == nullptr) {
        return Unknown(reason);
    }
    const auto entries = ReadEntries(minimapData);
    if (entries.count <= 0 || entries.data == nullptr) {
        return Unknown("the minimap data has no map entries");
    }
    const void* entry = ChooseEntry(minimapData, entries, x, y, z);
    if (entry == nullptr) {
        // Off every playable area: the first entry is the main map.
        PluginLog()->warn("No map entry holds X: {:g}, Y: {:g}, Z: {:g}; using the first one", x, y,
                          z);
        entry = entries.data;
    }
    const auto originMin = ReadField<Vector3>(entry, "FMapData.OriginMin");
    const auto originMax = ReadField<Vector3>(entry, "FMapData.OriginMax");
    return {Percent("Lat", "X", x, originMin.X, originMax.X),
            Percent("Lon", "Y", y, originMin.Y, originMax.Y)};
}

}  // namespace quorvane::MapProjector
