#pragma once
// A place's clock for the report: the local time of an IANA time zone ("Europe/Berlin") at a UTC
// instant, daylight saving included, from the plugin's own zone lookup; UTC without a name.
// Safe to share between threads.

#include <chrono>
#include <string>

#include "platform/TimeZone.h"

namespace quorvane {

using platform::ZoneOffset;

class TimeZone {
  public:
    // UTC.
    TimeZone() = default;
    // Throws std::invalid_argument, naming the zone, for a name the database does not have
    // (or in a build without a zone database).
    explicit TimeZone(const std::string& name);

    // "UTC" for UTC itself.
    const std::string& Name() const { return name_; }
    ZoneOffset At(std::chrono::sys_seconds utc) const;

  private:
    std::string name_ = "UTC";
    bool utc_ = true;
};

}  // namespace quorvane
