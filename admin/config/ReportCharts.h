#pragma once
// The report's pictures, as SVG written here: a server's map with the game's Lat and Lon grid,
// where its events ran and where its coordinates lie; and its events per hour of the day.

#include <cstddef>
#include <optional>
#include <string>

#include "Report.h"

namespace quorvane::admin {

// The classes of an event's colour and the shape of its marks: colours repeat after seven
// events, with the next shape. None: an event the page does not list.
std::string EventClass(std::optional<std::size_t> event);
// One mark centred on x, y: the event's shape, radius r.
std::string Shape(std::optional<std::size_t> event, double x, double y, double r,
                  const std::string& classes, const std::string& title);

// Element ids start with `id`.
std::string MapPicture(const ServerReport& server, const TimeZone& zone, const std::string& id);
std::string HoursPicture(const ServerReport& server, const TimeZone& zone, const std::string& id);

}  // namespace quorvane::admin
