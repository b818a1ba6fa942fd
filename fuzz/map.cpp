// The map position of a world coordinate over generated map entries: NaN, infinities, empty
// and equal boxes and rectangles included. Never a crash, never a Lat or Lon that is not
// finite (a percentage is written into announcements with printf's %f), and the entry the
// point belongs to is the first whose box holds it.
// Input (FuzzedDataProvider): the number of entries, then per entry its boxes, then the point.

#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "Check.h"
#include "base/Text.h"
#include "map/MapProjection.h"

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

quorvane::MapVector Vector(FuzzedDataProvider& input) {
    return {Value<double>(input), Value<double>(input), Value<double>(input)};
}

quorvane::MapEntry Entry(FuzzedDataProvider& input) {
    quorvane::MapEntry entry;
    entry.PlayableMin = Vector(input);
    // Equal boxes and rectangles are what a careless map-data file has.
    entry.PlayableMax = input.ConsumeBool() ? entry.PlayableMin : Vector(input);
    entry.OriginMin = Vector(input);
    entry.OriginMax = input.ConsumeBool() ? entry.OriginMin : Vector(input);
    return entry;
}

bool IsPercentText(const std::string& text) {
    return !text.empty() && text.find_first_not_of("-0123456789.") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<quorvane::MapEntry> entries(input.ConsumeIntegralInRange(1, 6));
    for (auto& entry : entries) {
        entry = Entry(input);
    }
    const quorvane::WorldCoordinate point{Value<float>(input), Value<float>(input),
                                          Value<float>(input)};

    const auto chosen = quorvane::ChooseEntry(entries, point);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool before = chosen && i < *chosen;
        Require(!before || !quorvane::Holds(entries[i], point), "an earlier entry holds the point");
    }
    Require(entries.size() == 1 || !chosen || quorvane::Holds(entries[*chosen], point),
            "the chosen entry does not hold the point");

    const auto projection = quorvane::Project(entries, point);
    const quorvane::LatLon position = projection.Position;
    Require(std::isfinite(position.Lat) && std::isfinite(position.Lon),
            "a map position that is not finite");
    Require(chosen.has_value() || !projection.Warnings.empty(),
            "a point in no entry without a warning");
    for (const double value : {position.Lat, position.Lon}) {
        const std::string text = quorvane::FormatPercent(value);
        if (!IsPercentText(text)) {
            fuzzing::Fail("a percentage written as " + text);
        }
    }
    return 0;
}
