#include "entry/Commands.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "base/Text.h"
#include "entry/Plugin.h"
#include "entry/ShowAnnouncement.h"
#include "events/ComingEvents.h"
#include "history/EventRecord.h"
#include "map/GameMap.h"
#include "notify/Announcement.h"
#include "platform/Clock.h"

namespace quorvane {
namespace {

constexpr const char* kStatus = "quorvane.status";
constexpr const char* kNext = "quorvane.next";
constexpr const char* kReload = "quorvane.reload";
constexpr const char* kCoords = "quorvane.coords";
constexpr const char* kEnd = "quorvane.end";
constexpr const char* kCommands[] = {kStatus, kNext, kReload, kCoords, kEnd, kAnnounceCommand};

using Clock = std::chrono::steady_clock;

std::string Ago(Clock::time_point at) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - at);
    return std::to_string(seconds.count()) + " s ago";
}

// The events already drawn for what comes, soonest first.
std::string Coming(const EventPlan& plan) {
    std::vector<const PlannedEvent*> coming;
    for (const auto& [entry, planned] : plan.Entries()) {
        if (planned.Event && planned.From != PlannedEvent::Source::End) {
            coming.push_back(&planned);
        }
    }
    std::sort(coming.begin(), coming.end(),
              [](const auto* a, const auto* b) { return a->StartsAt < b->StartsAt; });
    std::string out;
    for (const auto* planned : coming) {
        out += "Coming event: " + planned->Event->EventId + " (" + planned->Event->Eventlabel + ")";
        if (const auto& c = planned->Coordinate) {
            out += " at " + FormatG(c->X) + " " + FormatG(c->Y) + " " + FormatG(c->Z);
        }
        out += ", starts " + UtcText(planned->StartsAt) +
               (planned->From == PlannedEvent::Source::Fixed ? ", a fixed time" : "") +
               (planned->Skipped  ? ", skipped: " + *planned->Skipped
                : planned->Warned ? ", warned"
                                  : "") +
               "\n";
    }
    return out;
}

std::string Status(Plugin& plugin) {
    if (const auto& inactive = plugin.InactiveReason()) {
        return "Quorvane: inactive: " + *inactive + "\n";
    }
    const Settings& s = plugin.CurrentSettings();
    std::string out = "Quorvane: active\n";
    out += "Server key: " + s.ServerKey + "\n";
    if (plugin.HookRefused()) {
        out +=
            "Hook: refused on AShooterGameMode.BeginPlay(); no event chain starts when the "
            "game begins play\n";
    }
    if (const auto& timer = plugin.Chain().Armed()) {
        out += "Next event: timer of " + std::to_string(timer->Seconds) + " s armed " +
               Ago(timer->At) + "\n";
    } else {
        out += "Next event: none scheduled (the server is not up yet)\n";
    }
    const auto now = platform::SystemClock().Now();
    for (const auto* running : plugin.Chain().Running()) {
        out += "Running event: " + running->Event->EventId + " (" + running->Event->Eventlabel +
               "), ends " + UtcText(running->StartsAt) + ", " + TimeUntil(running->StartsAt - now) +
               " left" + (running->EndCommand.empty() ? "" : ", then its EndCommand") + "\n";
    }
    if (const auto& parked = plugin.Chain().Parked()) {
        out += "Next event: the chain waits for the end, then " + std::to_string(parked->Seconds) +
               " s\n";
    }
    out += Coming(plugin.Chain().Plan());
    if (const auto& last = plugin.Chain().Last()) {
        const auto& c = last->Coordinate;
        out += "Last event: " + last->EventId + " (" + last->Eventlabel + ") at " + FormatG(c.X) +
               " " + FormatG(c.Y) + " " + FormatG(c.Z) + ", Lat " +
               FormatPercent(last->Position.Lat) + ", Lon " + FormatPercent(last->Position.Lon) +
               ", " + Ago(last->At) + (last->Refused ? ", not started: " + *last->Refused : "") +
               "\n";
    } else {
        out += "Last event: none yet\n";
    }
    for (const auto& delivery : plugin.Rcon().LastDeliveries()) {
        out += "RCON " + delivery.ServerKey + " (" + delivery.Address + "): " + delivery.Outcome +
               ", " + Ago(delivery.At) + "\n";
    }
    for (const auto& record : plugin.History().Recent()) {
        out += "History: " + Describe(record) + "\n";
    }
    if (const auto& post = plugin.Discord().Last()) {
        out +=
            "Discord (event " + post->EventId + "): " + post->Outcome + ", " + Ago(post->At) + "\n";
    } else if (!s.DiscordWebhook.empty()) {
        out += "Discord: no post yet\n";
    }
    return out;
}

std::string Next(Plugin& plugin, const std::string& argument) {
    if (const auto& inactive = plugin.InactiveReason()) {
        return "Quorvane is inactive: " + *inactive;
    }
    return plugin.Chain().StartNow(argument.empty() ? std::nullopt : std::optional(argument)).Text;
}

std::string End(Plugin& plugin, const std::string& argument) {
    if (const auto& inactive = plugin.InactiveReason()) {
        return "Quorvane is inactive: " + *inactive;
    }
    return plugin.Chain().EndNow(argument.empty() ? std::nullopt : std::optional(argument)).Text;
}

// Every coordinate of this server's events on the running map, so that a mistyped one shows
// before players are sent to the sea.
std::string Coords(Plugin& plugin) {
    if (const auto& inactive = plugin.InactiveReason()) {
        return "Quorvane is inactive: " + *inactive;
    }
    const Settings& s = plugin.CurrentSettings();
    if (s.RandomEvents.empty()) {
        return "No events are configured for this server";
    }
    std::string reason;
    const auto entries = GameMap::ReadEntries(true, reason);
    std::string out = entries ? "" : "No map: " + reason + "; Lat and Lon are unknown\n";
    for (const auto& event : s.RandomEvents) {
        if (event.RandomCCCs.empty()) {
            out += event.EventId + " (" + event.Eventlabel + "): no coordinates\n";
        }
        for (const auto& c : event.RandomCCCs) {
            out += event.EventId + " (" + event.Eventlabel + ") " + FormatG(c.X) + " " +
                   FormatG(c.Y) + " " + FormatG(c.Z);
            if (entries) {
                const LatLon position = Project(*entries, c).Position;
                out +=
                    ": Lat " + FormatPercent(position.Lat) + ", Lon " + FormatPercent(position.Lon);
                if (std::none_of(entries->begin(), entries->end(),
                                 [&](const MapEntry& entry) { return Holds(entry, c); })) {
                    out += ", outside the playable area";
                }
            }
            out += "\n";
        }
    }
    return out;
}

// Only ASCII goes back over RCON, as in every text the plugin sends.
std::string Ascii(const std::string& text) {
    std::string out = AsciiOnly(text);
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

// Runs on the game thread with nothing around it.
std::string SafeReply(const std::string& line) {
    try {
        return CommandReply(line);
    } catch (const std::exception& e) {
        return std::string("Error: ") + e.what();
    } catch (...) {
        return "Error";
    }
}

// The line as bytes: ASCII as it is, any other unit as a byte above it, which no command takes
// (an event id of quorvane.next, quorvane.announce's encoded text) and which answers show as ?.
std::string LineOf(const FString& text) {
    std::string line;
    for (const wchar_t unit : UnitsOf(text)) {
        const auto value = static_cast<std::uint32_t>(unit) & 0xFFFFu;
        line += value < 0x80 ? static_cast<char>(value) : '\x80';
    }
    return line;
}

void AnswerRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    FString reply(SafeReply(LineOf(packet->Body)).c_str());
    connection->SendMessageW(packet->Id, 0, &reply);
}

// The answer goes to the player who typed the command, as the framework's own console
// commands answer, and to the log.
void AnswerConsole(APlayerController* player, FString* command, bool) {
    const std::string reply = SafeReply(LineOf(*command));
    std::istringstream lines(reply);
    for (std::string line; std::getline(lines, line);) {
        PluginLog()->info("{}", line);
    }
    // The text is an argument, never the format: it may hold braces.
    AsaApi::GetApiUtils().SendServerMessage(static_cast<AShooterPlayerController*>(player),
                                            FColorList::Green, L"{}", *FString(reply.c_str()));
}

// What is coming on this server, for the player who asked alone, in their letters.
void AnswerChat(AShooterPlayerController* player, FString*, int, int) {
    Plugin::Enter("Player command not answered", [player](Plugin& plugin) {
        const Settings& s = plugin.CurrentSettings();
        const FString shown = GameText(ComingEventsText(
            {plugin.Chain().Plan().Entries(), platform::SystemClock().Now(),
             [](const WorldCoordinate& c) { return GameMap::WorldToLatLon(c); }, s.TimeZone}));
        // The text is an argument, never the format: it may hold braces.
        AsaApi::GetApiUtils().SendServerMessage(player, GameColour(s.NotificationColor), L"{}",
                                                *shown);
    });
}

// The text after a command's name, without the blanks around it.
std::string Rest(const std::string& line) {
    const auto blanks = " \t\r\n";
    const auto name = line.find_first_not_of(blanks);
    const auto after = name == std::string::npos ? name : line.find_first_of(blanks, name);
    const auto start = after == std::string::npos ? after : line.find_first_not_of(blanks, after);
    if (start == std::string::npos) {
        return {};
    }
    return line.substr(start, line.find_last_not_of(blanks) + 1 - start);
}

}  // namespace

std::string CommandReply(const std::string& line) {
    std::istringstream words(line);
    std::string name;
    std::string argument;
    words >> name >> argument;
    for (auto& c : name) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    Plugin* plugin = Plugin::Get();
    if (plugin == nullptr) {
        return "Quorvane is not loaded";
    }
    if (name == kStatus) {
        return Ascii(Status(*plugin));
    }
    if (name == kNext) {
        return Ascii(Next(*plugin, argument));
    }
    if (name == kReload) {
        return Ascii(plugin->Reload());
    }
    if (name == kCoords) {
        return Ascii(Coords(*plugin));
    }
    if (name == kEnd) {
        return Ascii(End(*plugin, argument));
    }
    if (name == kAnnounceCommand) {
        return ShowAnnouncement(plugin->CurrentSettings(), Rest(line));
    }
    return "Unknown command " + Ascii(name);
}

void RegisterCommands() {
    auto& commands = AsaApi::GetCommands();
    for (const char* name : kCommands) {
        commands.AddRconCommand(FString(name), &AnswerRcon);
        commands.AddConsoleCommand(FString(name), &AnswerConsole);
    }
}

void RemoveCommands() {
    auto& commands = AsaApi::GetCommands();
    for (const char* name : kCommands) {
        commands.RemoveRconCommand(FString(name));
        commands.RemoveConsoleCommand(FString(name));
    }
}

void ChangePlayerCommand(std::string& registered, const std::string& wanted) {
    if (registered == wanted) {
        return;
    }
    auto& commands = AsaApi::GetCommands();
    if (!registered.empty()) {
        commands.RemoveChatCommand(GameText(registered));
        registered.clear();
    }
    if (!wanted.empty()) {
        commands.AddChatCommand(GameText(wanted), &AnswerChat);
        registered = wanted;
    }
}

}  // namespace quorvane
