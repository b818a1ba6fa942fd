#include "events/EventTexts.h"

namespace quorvane {

std::string MakeEventCommand(const std::string& command, const std::string& eventId,
                             const WorldCoordinate& coordinate) {
    return command + ' ' + eventId + ' ' + ShortestFloat(coordinate.X) + ' ' +
           ShortestFloat(coordinate.Y) + ' ' + ShortestFloat(coordinate.Z);
}

std::wstring FillTemplate(std::wstring_view text, const TemplateValues& values,
                          CaseCompare compare) {
    std::wstring filled(text);
    std::wstring scratch;
    ReplaceIn(filled, L"{Eventlabel}", values.Eventlabel, compare, scratch);
    ReplaceIn(filled, L"{Serverlabel}", values.Serverlabel, compare, scratch);
    ReplaceIn(filled, L"{Lon}", values.Lon, compare, scratch);
    ReplaceIn(filled, L"{Lat}", values.Lat, compare, scratch);
    return filled;
}

namespace {

TemplateValues ValuesOf(const Settings& s, const RandomEvent& event, const LatLon& position) {
    return {WidenBytes(event.Eventlabel), WidenBytes(s.Serverlabel),
            WidenBytes(FormatPercent(position.Lon)), WidenBytes(FormatPercent(position.Lat))};
}

// A template is taken as a C string, to its first NUL, as the game's strings are made.
std::wstring TemplateOf(const std::string& text) {
    return WidenBytes(text.c_str());
}

// Discord takes UTF-8; RCON, the game's, only ASCII.
std::string ForDiscord(const Settings& s, std::wstring_view text) {
    return s.DiscordKeepUnicode ? BytesOf(text) : NarrowToAscii(text);
}

}  // namespace

EventTexts ComposeEventTexts(const Settings& s, const RandomEvent& event,
                             const WorldCoordinate& coordinate, const LatLon& position,
                             CaseCompare compare) {
    const TemplateValues values = ValuesOf(s, event, position);
    const auto fill = [&](const std::string& templateText) {
        return FillTemplate(TemplateOf(templateText), values, compare);
    };
    EventTexts texts;
    texts.EventCommand = MakeEventCommand(s.ServerEventsCommand, event.EventId, coordinate);
    texts.Broadcast = ComposeAnnouncement(s, fill(s.BroadcastStartEventMessage), compare);
    texts.DiscordMessage = ForDiscord(s, fill(s.DiscordBroadcastMessage));
    texts.DiscordHeader = ForDiscord(s, fill(s.DiscordBroadcastHeader));
    return texts;
}

EndTexts ComposeEndTexts(const Settings& s, const RandomEvent& event, const LatLon& position,
                         CaseCompare compare) {
    const TemplateValues values = ValuesOf(s, event, position);
    const auto fill = [&](const std::string& templateText) {
        return FillTemplate(TemplateOf(templateText), values, compare);
    };
    return {NarrowToAscii(EscapeLineFeeds(fill(event.EndCommand), compare)),
            ComposeAnnouncement(s, fill(s.BroadcastEndEventMessage), compare),
            ForDiscord(s, fill(s.DiscordEndEventMessage))};
}

WarningTexts ComposeWarningTexts(const Settings& s, const RandomEvent& event,
                                 const LatLon& position, std::int32_t minutes,
                                 std::chrono::system_clock::time_point startsAt,
                                 CaseCompare compare) {
    const TemplateValues values = ValuesOf(s, event, position);
    const std::wstring count = WidenBytes(std::to_string(minutes));
    const std::wstring timestamp = WidenBytes(
        "<t:" +
        std::to_string(
            std::chrono::floor<std::chrono::seconds>(startsAt.time_since_epoch()).count()) +
        ":R>");
    // Before the four, so that a label's own braces stay as they are.
    const auto fill = [&](const std::string& templateText, bool withStart) {
        std::wstring text = Replace(TemplateOf(templateText), L"{Minutes}", count, compare);
        if (withStart) {
            text = Replace(text, L"{StartsAt}", timestamp, compare);
        }
        return FillTemplate(text, values, compare);
    };
    return {ComposeAnnouncement(s, fill(s.BroadcastEventWarningMessage, false), compare),
            ForDiscord(s, fill(s.DiscordEventWarningMessage, true))};
}

}  // namespace quorvane
