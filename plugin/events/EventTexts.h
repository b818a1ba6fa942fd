#pragma once
// The texts of one event: its console command and its filled announcement templates. Pure:
// the case-insensitive comparison is given.

#include <chrono>
#include <cstdint>
#include <string>

#include "base/Text.h"
#include "config/Settings.h"
#include "map/MapProjection.h"
#include "notify/Announcement.h"

namespace quorvane {

// "{command} {id} {X} {Y} {Z}", each coordinate in the shortest form that reads back as the
// same float (2e+05, 250000, 0.1).
std::string MakeEventCommand(const std::string& command, const std::string& eventId,
                             const WorldCoordinate& coordinate);

struct TemplateValues {
    std::wstring Eventlabel;
    std::wstring Serverlabel;
    std::wstring Lon;
    std::wstring Lat;
};

// Replaces {Eventlabel}, {Serverlabel}, {Lon} and {Lat}, ignoring case, in that order, so a
// value inserted by one pass is filled by the later ones.
std::wstring FillTemplate(std::wstring_view text, const TemplateValues& values,
                          CaseCompare compare);

// Everything one event sends: ASCII only, but for the Discord texts with DiscordKeepUnicode.
struct EventTexts {
    std::string EventCommand;
    Announcement Broadcast;  // for every server over RCON
    std::string DiscordMessage;
    std::string DiscordHeader;
};

// The texts of `event` at `coordinate`, whose map position is `position`: the same for the
// running plugin and for a preview of the file.
EventTexts ComposeEventTexts(const Settings& settings, const RandomEvent& event,
                             const WorldCoordinate& coordinate, const LatLon& position,
                             CaseCompare compare);

// A countdown warning's texts: the broadcast over RCON with {Minutes} as well, and the Discord
// message with {StartsAt} too (Discord's <t:UNIX:R>, which each reader sees in their own time).
struct WarningTexts {
    Announcement Broadcast;
    std::string DiscordMessage;
};

// An event's end: its EndCommand (ASCII, a console command), and the announcement and Discord
// message of the end.
struct EndTexts {
    std::string EndCommand;
    Announcement Broadcast;
    std::string DiscordMessage;
};

EndTexts ComposeEndTexts(const Settings& settings, const RandomEvent& event, const LatLon& position,
                         CaseCompare compare);

WarningTexts ComposeWarningTexts(const Settings& settings, const RandomEvent& event,
                                 const LatLon& position, std::int32_t minutes,
                                 std::chrono::system_clock::time_point startsAt,
                                 CaseCompare compare);

}  // namespace quorvane
