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
    wchar_t buffer[512];
    const int length = std::swprintf(buffer, std::size(buffer), L"%f", value);
    return FString(length > 0 ? length : 0, buffer);
}

FString FillTemplate(const FString& text, const TemplateValues& values) {
    FString filled = Replace(text, FString(L"{Eventlabel}"), values.Eventlabel);
    filled = Replace(filled, FString(L"{Serverlabel}"), values.Serverlabel);
    filled = Replace(filled, FString(L"{Lon}"), values.Lon);
    return Replace(filled, FString(L"{Lat}"), values.Lat);
}

FString EscapeForCommandLine(const FString& text) {
    const FString escaped = Replace(text, FString(L"\""), FString(L"\\\""));
    return Replace(escaped, FString(L"\n"), FString(L"\\n"));
}

}  // namespace quorvane
