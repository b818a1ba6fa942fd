#pragma once
// A place's clock for the report: the local time of an IANA time zone ("Europe/Berlin") at a UTC
// instant, daylight saving included, from the plugin's own zone lookup; UTC without a name.
// Safe to share between threads.

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/TimeZone.h"

namespace quorvane {

using platform::ZoneOffset;

// The zone files the tool reads where the system has no zone, as the plugin does: those beside
// the cluster file (the plugin's folder), else those beside quorvane-config itself.
std::filesystem::path ZoneFolderFor(const std::filesystem::path& configFile);

class TimeZone {
  public:
    // UTC.
    TimeZone() = default;
    // Throws std::invalid_argument, naming the zone, for a name neither the system's database
    // nor the zone files below `zoneFolder` have.
    explicit TimeZone(const std::string& name, const std::filesystem::path& zoneFolder = {});

    // "UTC" for UTC itself.
    const std::string& Name() const { return name_; }
    ZoneOffset At(std::chrono::sys_seconds utc) const;

  private:
    std::string name_ = "UTC";
    platform::Zone zone_;
    bool utc_ = true;
};

}  // namespace quorvane
