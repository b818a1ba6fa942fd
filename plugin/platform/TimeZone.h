#pragma once
// Local time in a time zone, and back, with daylight-saving time as the zone has it. A zone is
// an IANA name ("Europe/Berlin"), or none for the server's own local time. A named zone comes
// from the system's database where it has the zone (the standard library's with MSVC, Howard
// Hinnant's date library over the system's zone files on Linux; MinGW has none), else from the
// zone files (TZif) shipped beside the plugin, so that every build has the same zones; "UTC"
// and "Etc/UTC" need neither.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quorvane::platform {

// How the clocks of a named zone stand to UTC during one stretch of time.
struct ZoneOffset {
    std::chrono::seconds Offset{0};  // local time minus UTC
    std::string Abbreviation;        // "CET", "CEST"
    // The stretch within which this offset holds: [Begin, End).
    std::chrono::sys_seconds Begin;
    std::chrono::sys_seconds End;
};

// The rules of one named zone, from one database; safe to share between threads.
class ZoneRules {
  public:
    virtual ~ZoneRules() = default;
    virtual ZoneOffset At(std::chrono::sys_seconds time) const = 0;
};

// A zone as the settings name it. Copies share its rules.
class Zone {
  public:
    // The server's own local time.
    Zone() = default;
    Zone(std::string name, std::shared_ptr<const ZoneRules> rules, std::string database)
        : name_(std::move(name)), rules_(std::move(rules)), database_(std::move(database)) {}

    // Empty for the server's local time.
    const std::string& Name() const { return name_; }
    // Where its rules came from, for an admin: "the system's zone database", ...
    const std::string& Database() const { return database_; }
    // What its clocks show at `time`.
    std::chrono::local_seconds LocalTime(std::chrono::sys_seconds time) const;
    // A named zone's offset at `time`; UTC's for the server's local time.
    ZoneOffset At(std::chrono::sys_seconds time) const;

  private:
    std::string name_;
    std::shared_ptr<const ZoneRules> rules_;
    std::string database_;
};

// The zone named `name`: from the system's database, else from the zone file `name` below
// `shippedFolder` (none when empty), else for "UTC" and "Etc/UTC" built in. Throws
// std::runtime_error, saying why for an admin, when none has it.
Zone FindZone(const std::string& name, const std::filesystem::path& shippedFolder);

// What the system's database knows of `name`. One implementation per database.
struct SystemZoneLookup {
    bool HasDatabase = false;
    std::shared_ptr<const ZoneRules> Rules;  // none when it has no such zone
};
SystemZoneLookup SystemZone(const std::string& name);

// What the clocks of `zone` show at `time`.
std::chrono::local_seconds LocalTimeIn(const Zone& zone, std::chrono::sys_seconds time);

// Minutes after midnight in `zone` at `time`: 0 to 1439.
int MinuteOfDayIn(const Zone& zone, std::chrono::system_clock::time_point time);

// The instants at which the clocks of `zone` show `local`: none when the clocks skip it (spring
// forward), two when they show it twice (fall back), earliest first.
std::vector<std::chrono::sys_seconds> UtcTimesOf(const Zone& zone,
                                                 std::chrono::local_seconds local);

}  // namespace quorvane::platform
