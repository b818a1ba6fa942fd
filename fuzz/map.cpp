// The map position of a world coordinate over generated map-data entries: NaN, infinities,
// empty and equal boxes and rectangles included. Never a crash, and never a Lat or Lon that
// is not finite: a percentage is written into announcements with printf's %f.
// Input (FuzzedDataProvider): the world's shape, then per entry its boxes, then the point.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <type_traits>

#include "Check.h"
#include "GameMemory.h"
#include "GameStrings.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "core/FStringText.h"
#include "core/PluginLog.h"
#include "events/EventTexts.h"
#include "map/MapProjector.h"

namespace {

using fuzzing::Require;

// Mostly the values at the edges, sometimes any bit pattern, sometimes a map-sized number.
template <typename T>
T Value(FuzzedDataProvider& input) {
    using limits = std::numeric_limits<T>;
    const T special[] = {0,
                         -T(0),
                         limits::quiet_NaN(),
                         limits::infinity(),
                         -limits::infinity(),
                         limits::max(),
                         limits::lowest(),
                         limits::denorm_min(),
                         limits::min(),
                         1,
                         -1,
                         T(400000),
                         T(-400000)};
    const auto choice = input.ConsumeIntegralInRange<unsigned>(0, std::size(special) + 1);
    if (choice < std::size(special)) {
        return special[choice];
    }
    if (choice == std::size(special)) {
        return input.ConsumeFloatingPointInRange<T>(-1e6, 1e6);
    }
    using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
    return std::bit_cast<T>(input.ConsumeIntegral<Bits>());
}

FVector Vector(FuzzedDataProvider& input) {
    return {Value<double>(input), Value<double>(input), Value<double>(input)};
}

gameserver::MapEntry Entry(FuzzedDataProvider& input) {
    gameserver::MapEntry entry;
    entry.playableMin = Vector(input);
    // Equal boxes and rectangles are what a careless map-data file has.
    entry.playableMax = input.ConsumeBool() ? entry.playableMin : Vector(input);
    for (double& value : entry.originMin) {
        value = Value<double>(input);
    }
    for (int i = 0; i < 2; ++i) {
        entry.originMax[i] = input.ConsumeBool() ? entry.originMin[i] : Value<double>(input);
    }
    return entry;
}

bool IsPercentText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("-0123456789.") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gameserver::RegisterGameMemory();
    gameserver::RegisterGameStrings();
    gameserver::RegisterWorldNames();
    // Over the host's sinks, none while the host is not started: lines are dropped.
    quorvane::CreatePluginLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    gameserver::MapSettings map;
    map.world = input.ConsumeIntegralInRange(0, 15) != 0;
    map.minimap = static_cast<gameserver::MapSettings::Minimap>(input.ConsumeIntegralInRange(0, 2));
    map.staticStruct = input.ConsumeIntegralInRange(0, 7) != 0;
    const int entries = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < entries; ++i) {
        map.entries.push_back(Entry(input));
    }
    const quorvane::WorldCoordinate point{Value<float>(input), Value<float>(input),
                                          Value<float>(input)};

    gameserver::GameWorld world(map);
    asahost::SetWorld(world.World());
    const quorvane::LatLon position = quorvane::MapProjector::WorldToLatLon(point);
    asahost::SetWorld(nullptr);

    Require(std::isfinite(position.Lat) && std::isfinite(position.Lon),
            "a map position that is not finite");
    for (const double value : {position.Lat, position.Lon}) {
        const std::string text = quorvane::Narrow(quorvane::FormatPercent(value));
        if (!IsPercentText(text)) {
            fuzzing::Fail("a percentage written as " + text);
        }
    }
    return 0;
}
