#include "events/EventTexts.h"

#include <charconv>
#include <cstdio>

#include "core/FStringText.h"

namespace quorvane {
namespace {

std::string Shortest(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

std::string MakeEventCommand(const std::string& command, const std::string& eventId,
                             const WorldCoordinate& coordinate) {
    return command + ' ' + eventId + ' ' + Shortest(coordinate.X) + ' ' + Shortest(coordinate.Y) +
           ' ' + Shortest(coordinate.Z);
}

FString FormatPercent(double value) {
    // printf's own %f, so that the locale's decimal separator holds; widened byte by byte.
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, "%f", value);
    return FString(std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0));
}

FString FillTemplate(const FString& text, const TemplateValues& values) {
    FString filled = Replace(text, FString(L"{Eventlabel}"), values.Eventlabel);
    filled = Replace(filled, FString(L"{Serverlabel}"), values.Serverlabel);
    filled = Replace(filled, FString(L"{Lon}"), values.Lon);
    return Replace(filled, FString(L"{Lat}"), values.Lat);
}

EventTexts ComposeEventTexts(const Settings& s, const RandomEvent& event,
                             const WorldCoordinate& coordinate, const LatLon& position) {
    TemplateValues values{WidenBytes(event.Eventlabel), WidenBytes(s.Serverlabel),
                          FormatPercent(position.Lon), FormatPercent(position.Lat)};
    EventTexts texts;
    texts.EventCommand = MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate);
    texts.BroadcastText = Narrow(
        EscapeLineFeeds(FillTemplate(FString(s.BroadcastStartEventMessage.c_str()), values)));
    texts.DiscordMessage = Narrow(FillTemplate(FString(s.DiscordBroadcastMessage.c_str()), values));
    texts.DiscordHeader = Narrow(FillTemplate(FString(s.DiscordBroadcastHeader.c_str()), values));
    return texts;
}

FString EscapeLineFeeds(const FString& text) {
    return Replace(text, FString(L"\n"), FString(L"\\n"));
}

}  // namespace quorvane
