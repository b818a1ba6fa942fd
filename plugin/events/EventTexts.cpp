#include "events/EventTexts.h"

namespace quorvane {

std::string MakeEventCommand(const std::string& command, const std::string& eventId,
                             const WorldCoordinate& coordinate) {
    return command + ' ' + eventId + ' ' + ShortestFloat(coordinate.X) + ' ' +
           ShortestFloat(coordinate.Y) + ' ' + ShortestFloat(coordinate.Z);
}

std::wstring FillTemplate(std::wstring_view text, const TemplateValues& values,
                          CaseCompare compare) {
    std::wstring filled = Replace(text, L"{Eventlabel}", values.Eventlabel, compare);
    filled = Replace(filled, L"{Serverlabel}", values.Serverlabel, compare);
    filled = Replace(filled, L"{Lon}", values.Lon, compare);
    return Replace(filled, L"{Lat}", values.Lat, compare);
}

std::wstring EscapeLineFeeds(std::wstring_view text, CaseCompare compare) {
    return Replace(text, L"\n", L"\\n", compare);
}

EventTexts ComposeEventTexts(const Settings& s, const RandomEvent& event,
                             const WorldCoordinate& coordinate, const LatLon& position,
                             CaseCompare compare) {
    const TemplateValues values{WidenBytes(event.Eventlabel), WidenBytes(s.Serverlabel),
                                WidenBytes(FormatPercent(position.Lon)),
                                WidenBytes(FormatPercent(position.Lat))};
    // A template is taken as a C string, to its first NUL, as the game's strings are made.
    const auto fill = [&](const std::string& templateText) {
        return FillTemplate(WidenBytes(templateText.c_str()), values, compare);
    };
    EventTexts texts;
    texts.EventCommand = MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate);
    texts.BroadcastText =
        NarrowToAscii(EscapeLineFeeds(fill(s.BroadcastStartEventMessage), compare));
    // Discord takes UTF-8; RCON, the game's, only ASCII.
    const auto discord = s.DiscordKeepUnicode ? &BytesOf : &NarrowToAscii;
    texts.DiscordMessage = discord(fill(s.DiscordBroadcastMessage));
    texts.DiscordHeader = discord(fill(s.DiscordBroadcastHeader));
    return texts;
}

}  // namespace quorvane
