#pragma once
// The texts of one event: its console command and its filled announcement templates.

#include <string>

#include "config/Settings.h"
#include "core/Host.h"
#include "map/MapProjector.h"

namespace quorvane {

// "{command} {id} {X} {Y} {Z}", each coordinate in the shortest form that reads back as the
// same float (2e+05, 250000, 0.1).
std::string MakeEventCommand(const std::string& command, const std::string& eventId,
                             const WorldCoordinate& coordinate);

// A map percentage as printf's %f writes it in the current locale: 75.000000.
FString FormatPercent(double value);

struct TemplateValues {
    FString Eventlabel;
    FString Serverlabel;
    FString Lon;
    FString Lat;
};

// Replaces {Eventlabel}, {Serverlabel}, {Lon} and {Lat}, ignoring case, in that order, so a
// value inserted by one pass is filled by the later ones.
FString FillTemplate(const FString& text, const TemplateValues& values);

// A line feed as the two characters \ and n: one console command per announcement.
FString EscapeLineFeeds(const FString& text);

// Everything one event sends, ASCII only.
struct EventTexts {
    std::string EventCommand;
    std::string BroadcastText;  // for every server over RCON
    std::string DiscordMessage;
    std::string DiscordHeader;
};

// The texts of `event` at `coordinate`, whose map position is `position`: the same for the
// running plugin and for a preview of the file.
EventTexts ComposeEventTexts(const Settings& settings, const RandomEvent& event,
                             const WorldCoordinate& coordinate, const LatLon& position);

}  // namespace quorvane
