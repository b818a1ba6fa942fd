#pragma once
// The lookup of a named zone in a time-zone database: the standard library's and Howard
// Hinnant's date library, from which it was standardised, answer the same calls, so both builds
// run these lines.

#include <exception>
#include <memory>
#include <string>
#include <type_traits>

#include "platform/TimeZone.h"

namespace quorvane::platform {

// A zone of a database that lives as long as the process.
template <typename TimeZone>
class DatabaseZone final : public ZoneRules {
  public:
    explicit DatabaseZone(const TimeZone* zone) : zone_(zone) {}
    ZoneOffset At(std::chrono::sys_seconds time) const override {
        const auto info = zone_->get_info(time);
        return {info.offset, info.abbrev, info.begin, info.end};
    }

  private:
    const TimeZone* zone_;
};

// `database` returns the database (it throws when there is none to be had); `locate` finds a
// zone in it by name (it throws when there is none of that name).
template <typename Database, typename Locate>
SystemZoneLookup LookUp(Database database, Locate locate, const std::string& name) {
    try {
        database();
    } catch (const std::exception&) {
        return {};
    }
    try {
        const auto* zone = locate(name);
        return {true, std::make_shared<DatabaseZone<std::remove_pointer_t<decltype(zone)>>>(zone)};
    } catch (const std::exception&) {
        return {true, nullptr};
    }
}

}  // namespace quorvane::platform
