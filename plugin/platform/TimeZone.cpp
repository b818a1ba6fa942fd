#include "platform/TimeZone.h"

#include <algorithm>
#include <type_traits>

#include "platform/Clock.h"
#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

class System final : public WallClock {
  public:
    std::chrono::system_clock::time_point Now() const override {
        return std::chrono::system_clock::now();
    }
};
static_assert(std::is_trivially_destructible_v<System>);

}  // namespace

const WallClock& SystemClock() {
    static const System clock;
    return clock;
}

int LocalMinuteOfDay(std::chrono::system_clock::time_point time) {
    return MinuteOfDayIn({}, time);
}

int MinuteOfDayIn(const std::string& zone, std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const local_seconds local = LocalTimeIn(zone, floor<seconds>(time));
    return static_cast<int>(duration_cast<minutes>(local - floor<days>(local)).count());
}

std::chrono::local_seconds LocalTimeIn(const std::string& zone, std::chrono::sys_seconds time) {
    if (zone.empty()) {
        return ServerLocalTime(time);
    }
    return std::chrono::local_seconds(
        (time + NamedZoneOffset(zone, time).Offset).time_since_epoch());
}

std::vector<std::chrono::sys_seconds> UtcTimesOf(const std::string& zone,
                                                 std::chrono::local_seconds local) {
    using namespace std::chrono;
    // No zone is more than a day off UTC, and none changes its offset twice within two days: the
    // offsets a day either side are every offset that can show `local`.
    const sys_seconds asUtc{local.time_since_epoch()};
    std::vector<sys_seconds> out;
    for (const auto probe : {asUtc - days(1), asUtc + days(1)}) {
        const auto offset = LocalTimeIn(zone, probe).time_since_epoch() - probe.time_since_epoch();
        const sys_seconds candidate = asUtc - offset;
        if (LocalTimeIn(zone, candidate) == local &&
            std::find(out.begin(), out.end(), candidate) == out.end()) {
            out.push_back(candidate);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace quorvane::platform
