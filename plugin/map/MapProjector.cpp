#include "map/MapProjector.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "core/FStringText.h"
#include "core/Host.h"
#include "core/PluginLog.h"

namespace quorvane::MapProjector {
namespace {

constexpr const char* kFallbackClassPath =
    "Blueprint'/Game/ASA/Minimap/Core/MinimapData_Base.MinimapData_Base'";

// What UVictoryCore.StringReferenceToClass writes into its caller's record.
struct ClassReference {
    UClass* Class;
};

// Game functions are called through the addresses the host looks up by name each time; an
// unknown name is null (and the host says so).
template <typename Function>
Function* GameFunction(const char* name) {
    return reinterpret_cast<Function*>(GetAddress(name));
}

template <typename T>
std::optional<T> ReadField(const void* object, const char* name) {
    const void* field = GetAddress(object, name);
    if (field == nullptr) {
        return std::nullopt;
    }
    T value;
    std::memcpy(&value, field, sizeof value);
    return value;
}

struct MapDataArray {
    const unsigned char* data;
    std::int32_t count;
};

std::optional<MapDataArray> ReadEntries(const UObject* minimapData) {
    const void* field = GetAddress(minimapData, "UMinimapData.MinimapData");
    if (field == nullptr) {
        return std::nullopt;
    }
    MapDataArray entries{};
    std::memcpy(&entries.data, field, sizeof entries.data);
    std::memcpy(&entries.count, static_cast<const char*>(field) + sizeof(void*),
                sizeof entries.count);
    return entries;
}

// The minimap data object of the running world, or null with the reason.
const UObject* FindMinimapData(UWorld* world, const char*& reason) {
    auto* getSettings = GameFunction<APrimalWorldSettings*(UWorld*, bool, bool)>(
        "UWorld.GetWorldSettings(bool,bool)");
    auto* getDefaultObject = GameFunction<UObject*(UClass*, bool)>("UClass.GetDefaultObject(bool)");
    if (getSettings == nullptr || getDefaultObject == nullptr) {
        reason = "the game has no world settings or class defaults";
        return nullptr;
    }
    APrimalWorldSettings* settings = getSettings(world, false, true);
    if (settings == nullptr) {
        reason = "the world has no settings";
        return nullptr;
    }
    const auto current = ReadField<UClass*>(settings, "APrimalWorldSettings.CurrentMinimapData");
    if (!current) {
        reason = "the world settings name no minimap data";
        return nullptr;
    }
    UClass* minimapClass = *current;
    if (minimapClass == nullptr) {
        auto* toClass = GameFunction<ClassReference*(ClassReference*, FString*)>(
            "UVictoryCore.StringReferenceToClass(FString&)");
        if (toClass == nullptr) {
            reason = "the game cannot resolve class paths";
            return nullptr;
        }
        FString path(kFallbackClassPath);
        ClassReference reference{};
        toClass(&reference, &path);
        minimapClass = reference.Class;
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
    const auto min = ReadField<FVector>(entry, "FMapData.PlayableMin");
    const auto max = ReadField<FVector>(entry, "FMapData.PlayableMax");
    // Each comparison fails on NaN, so a point with a NaN component is outside.
    return min && max && max->X > x && max->Y > y && x > min->X && y > min->Y && max->Z > z &&
           z > min->Z;
}

// The first entry whose playable box strictly holds the point; with a single entry, that
// one whatever the point. Null when none holds it.
const void* ChooseEntry(const UObject* minimapData, const MapDataArray& first, double x, double y,
                        double z) {
    if (first.count == 1) {
        return first.data;
    }
    std::int32_t stride = 0;
    auto* staticStruct = GameFunction<UStruct*()>("FMapData.StaticStruct()");
    if (staticStruct != nullptr) {
        if (UStruct* reflected = staticStruct()) {
            stride = ReadField<std::int32_t>(reflected, "UStruct.PropertiesSize").value_or(0);
        }
    }
    std::uint32_t offset = 0;  // wraps like the game's 32-bit sum
    for (std::int32_t i = 0;; ++i) {
        const auto entries = ReadEntries(minimapData);
        if (!entries || i >= entries->count) {
            return nullptr;
        }
        const void* entry = entries->data + static_cast<std::int32_t>(offset);
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

double Percent(double value, double originMin, double originMax) {
    const double q = (value - originMax) / (originMin - originMax);
    return RoundToFloat(100.0 - q * 100.0);
}

LatLon Unknown(const char* reason) {
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

    const char* reason = "";
    const UObject* minimapData = FindMinimapData(AsaApi::GetApiUtils().GetWorld(), reason);
    if (minimapData == nullptr) {
        return Unknown(reason);
    }
    const auto entries = ReadEntries(minimapData);
    if (!entries || entries->count <= 0 || entries->data == nullptr) {
        return Unknown("the minimap data has no map entries");
    }
    const void* entry = ChooseEntry(minimapData, *entries, x, y, z);
    if (entry == nullptr) {
        // Off every playable area: the first entry is the main map.
        PluginLog()->warn("No map entry holds X: {:g}, Y: {:g}, Z: {:g}; using the first one", x, y,
                          z);
        entry = entries->data;
    }
    const auto originMin = ReadField<FVector>(entry, "FMapData.OriginMin");
    const auto originMax = ReadField<FVector>(entry, "FMapData.OriginMax");
    if (!originMin || !originMax) {
        return Unknown("the map entry has no origin");
    }
    return {Percent(x, originMin->X, originMax->X), Percent(y, originMin->Y, originMax->Y)};
}

}  // namespace quorvane::MapProjector
