#pragma once
// A place's clock: the local time of an IANA time zone ("Europe/Berlin") at a UTC instant,
// daylight saving included, from the system's zone database through Howard Hinnant's date
// library. Holds no date type, so that its users need none of date's headers. Safe to share
// between threads.

#include <chrono>
#include <string>

namespace date {
class time_zone;
}

namespace quorvane {

// How a zone's clock stands to UTC during one stretch of time.
struct ZoneOffset {
    std::chrono::seconds Offset{0};  // local time minus UTC
    std::string Abbreviation;        // "CET", "CEST"; "UTC"
    // The stretch within which this offset holds: [Begin, End).
    std::chrono::sys_seconds Begin;
    std::chrono::sys_seconds End;
};

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
    const date::time_zone* zone_ = nullptr;  // none: UTC
};

}  // namespace quorvane
