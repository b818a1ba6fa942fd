// The announcement texts: template filling, line-feed escaping and narrowing, and a whole
// event's texts.
// Input (FuzzedDataProvider): the template, the event label, the server label, the console
// command, the event id, one byte deciding how the template is widened, a coordinate's
// three float bit patterns, and the two map percentages.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "Check.h"
#include "CommandLineSplit.h"
#include "base/Text.h"
#include "events/EventTexts.h"
#include "notify/RconJob.h"
#include "platform/WindowsCommandLine.h"

namespace {

using fuzzing::Require;
using Units = std::u32string;

Units UnitsOf(const std::wstring& text) {
    Units units;
    for (const wchar_t unit : text) {
        units += static_cast<char32_t>(unit) & 0xFFFF;
    }
    return units;
}

constexpr quorvane::CaseCompare kCompare = &quorvane::AsciiStrnicmp;

char32_t FoldAscii(char32_t unit) {
    return unit >= 'A' && unit <= 'Z' ? unit + ('a' - 'A') : unit;
}

// The documented replacement, as plainly as it can be written: left to right, letter case
// of ASCII ignored, the inserted value never searched again.
Units ReplaceAll(const Units& text, const Units& search, const Units& value) {
    Units out;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool match =
            i + search.size() <= text.size() &&
            std::equal(search.begin(), search.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                       [](char32_t a, char32_t b) { return FoldAscii(a) == FoldAscii(b); });
        if (match) {
            out += value;
            i += search.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

Units Ascii(const char* text) {
    return Units(text, text + std::char_traits<char>::length(text));
}

void CheckNarrowing(const std::string& bytes) {
    const std::string narrow = quorvane::AsciiOnly(bytes);
    Require(quorvane::BytesOf(quorvane::WidenBytes(bytes)) == bytes, "widening lost a byte");
    Require(narrow.size() == bytes.size(), "narrowing changed the length");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        Require(narrow[i] == (byte < 0x80 ? bytes[i] : '?'), "a byte narrowed wrongly");
    }
}

void CheckEscaping(const std::wstring& text) {
    std::string expected;
    for (const char c : quorvane::NarrowToAscii(text)) {
        expected += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    Require(quorvane::NarrowToAscii(quorvane::EscapeLineFeeds(text, kCompare)) == expected,
            "escaping differs from each line feed written as \\n");
}

void CheckFilling(const std::wstring& text, const quorvane::TemplateValues& values) {
    Units expected = UnitsOf(text);
    expected = ReplaceAll(expected, Ascii("{Eventlabel}"), UnitsOf(values.Eventlabel));
    expected = ReplaceAll(expected, Ascii("{Serverlabel}"), UnitsOf(values.Serverlabel));
    expected = ReplaceAll(expected, Ascii("{Lon}"), UnitsOf(values.Lon));
    expected = ReplaceAll(expected, Ascii("{Lat}"), UnitsOf(values.Lat));
    Require(UnitsOf(quorvane::FillTemplate(text, values, kCompare)) == expected,
            "filling differs from replacing each placeholder in turn");
}

void CheckCommand(const std::string& command, const quorvane::Settings& s,
                  const quorvane::RandomEvent& event, const quorvane::WorldCoordinate& c) {
    const std::string head = s.ServerEventsCommand + ' ' + event.EventId + ' ';
    Require(command.compare(0, head.size(), head) == 0, "the command does not start as set");
    // Each coordinate reads back as the same float.
    const char* at = command.data() + head.size();
    const char* end = command.data() + command.size();
    for (const float expected : {c.X, c.Y, c.Z}) {
        float value = 0;
        const auto result = std::from_chars(at, end, value);
        if (std::isfinite(expected)) {
            Require(result.ec == std::errc() && value == expected, "a coordinate changed");
        }
        at = result.ptr < end ? result.ptr + 1 : end;
    }
}

// Each text the client is given arrives as exactly one argument equal to it: on POSIX the
// vector is the argv; on Windows it is written as one line that the client splits again.
void CheckClientArguments(const std::string& text) {
    const quorvane::RconTarget target{"10.0.0.2", 27020, "pass word\\\"", "Island"};
    const auto arguments =
        quorvane::ClientArguments("C:\\Cluster Tools\\quorvane-rcon.exe", target, text);
    const bool dash = text.starts_with('-');
    Require(arguments.size() == (dash ? 6u : 5u) && arguments.back() == text &&
                (!dash || arguments[4] == "--"),
            "the text is not one argument, after \"--\" when it begins with '-'");
    if (text.find('\0') != std::string::npos) {
        return;  // no command line carries one: the client is not started, with the reason
    }
    const auto split =
        testing_support::SplitCommandLine(quorvane::platform::WindowsCommandLine(arguments));
    Require(split == arguments, "a client's command line does not split back into its arguments");
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    quorvane::Settings s;
    quorvane::RandomEvent event;
    const std::string templ = input.ConsumeRandomLengthString(512);
    event.Eventlabel = input.ConsumeRandomLengthString(128);
    s.Serverlabel = input.ConsumeRandomLengthString(128);
    s.ServerEventsCommand = input.ConsumeRandomLengthString(64);
    event.EventId = input.ConsumeRandomLengthString(64);
    // The plugin reads its templates one byte a unit; WidenBytes reaches the units above 0xFF.
    const bool wide = input.ConsumeBool();
    const quorvane::WorldCoordinate coordinate{
        std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>()),
        std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>()),
        std::bit_cast<float>(input.ConsumeIntegral<std::uint32_t>())};
    // The map projection gives finite percentages only.
    const quorvane::LatLon position{input.ConsumeFloatingPoint<double>(),
                                    input.ConsumeFloatingPoint<double>()};

    CheckNarrowing(templ);
    CheckNarrowing(event.Eventlabel);
    // Units above 0xFF, as the plugin's own widening never makes them.
    std::wstring text = quorvane::WidenBytes(templ);
    if (wide) {
        for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
            text[i] = static_cast<wchar_t>((text[i] & 0xFF) << 8 | (text[i + 1] & 0xFF));
        }
    }
    CheckEscaping(text);
    const quorvane::TemplateValues values{
        quorvane::WidenBytes(event.Eventlabel), quorvane::WidenBytes(s.Serverlabel),
        quorvane::WidenBytes(quorvane::FormatPercent(position.Lon)),
        quorvane::WidenBytes(quorvane::FormatPercent(position.Lat))};
    CheckFilling(text, values);

    s.BroadcastStartEventMessage = templ;
    s.DiscordBroadcastMessage = "{Lat}";
    s.DiscordBroadcastHeader = "{lon}";
    const auto texts = quorvane::ComposeEventTexts(s, event, coordinate, position, kCompare);
    CheckCommand(texts.EventCommand, s, event, coordinate);
    Require(IsAscii(texts.Broadcast.Command) && IsAscii(texts.DiscordMessage) &&
                IsAscii(texts.DiscordHeader),
            "a text that is not ASCII");
    Require(texts.Broadcast.Command.find('\n') == std::string::npos,
            "a line feed in the RCON announcement");
    CheckClientArguments(texts.Broadcast.Command);
    CheckClientArguments(texts.EventCommand);
    for (const auto& [shown, value] : {std::pair{texts.DiscordMessage, position.Lat},
                                       std::pair{texts.DiscordHeader, position.Lon}}) {
        // printf's %f: six decimals, so within half a millionth.
        const double back = std::strtod(shown.c_str(), nullptr);
        Require(std::fabs(back - value) <= 5.000001e-7 * std::fmax(1.0, std::fabs(value)),
                "a map percentage that does not read back");
    }
    return 0;
}
