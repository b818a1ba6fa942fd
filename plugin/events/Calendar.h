#pragma once
// The next start of an event's fixed times, in the zone of TimeZone (the server's local time
// without it). Pure but for the zone's rules, which come from platform/.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "config/FixedTime.h"
#include "platform/TimeZone.h"

namespace quorvane {

// The first start of `times` after `after`; none without times. A time the clocks skip (spring
// forward) comes as late as they skipped (02:30 becomes 03:30), one they show twice (fall back)
// comes the first time only.
std::optional<std::chrono::sys_seconds> NextFixedTime(const std::vector<FixedTime>& times,
                                                      const platform::Zone& zone,
                                                      std::chrono::sys_seconds after);

}  // namespace quorvane
