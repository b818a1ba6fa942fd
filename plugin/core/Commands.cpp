#include "core/Commands.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "config/ConfigParser.h"
#include "config/Settings.h"
#include "core/FStringText.h"
#include "core/Host.h"
#include "core/Lifecycle.h"
#include "core/PluginLog.h"
#include "events/EventLauncher.h"
#include "events/EventTimer.h"
#include "notify/RconFanout.h"

namespace quorvane {
namespace {

constexpr const char* kStatus = "quorvane.status";
constexpr const char* kNext = "quorvane.next";
constexpr const char* kReload = "quorvane.reload";

using Clock = std::chrono::steady_clock;

std::string Ago(Clock::time_point at) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - at);
    return std::to_string(seconds.count()) + " s ago";
}

std::string Percent(double value) {
    char buffer[512];
    const int length = std::snprintf(buffer, sizeof buffer, "%f", value);
    return std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string Status() {
    std::string out;
    if (const auto& inactive = InactiveReason()) {
        return "Quorvane: inactive: " + *inactive + "\n";
    }
    const Settings& s = EventSettings();
    out += "Quorvane: active\n";
    out += "Server key: " + s.ServerKey + "\n";
    if (const auto& timer = LastArmedTimer()) {
        out += "Next event: timer of " + std::to_string(timer->seconds) + " s armed " +
               Ago(timer->at) + "\n";
    } else {
        out += "Next event: none scheduled (the server is not up yet)\n";
    }
    if (const auto& last = LastStartedEvent()) {
        const auto& c = last->Coordinate;
        out += "Last event: " + last->EventId + " (" + last->Eventlabel + ") at " + FormatG(c.X) +
               " " + FormatG(c.Y) + " " + FormatG(c.Z) + ", Lat " + Percent(last->Position.Lat) +
               ", Lon " + Percent(last->Position.Lon) + ", " + Ago(last->At) + "\n";
    } else {
        out += "Last event: none yet\n";
    }
    for (const auto& delivery : RconFanout::LastDeliveries()) {
        out += "RCON " + delivery.ServerKey + " (" + delivery.Address + "): " + delivery.Outcome +
               ", " + Ago(delivery.At) + "\n";
    }
    return out;
}

std::string Next(const std::string& argument) {
    if (const auto& inactive = InactiveReason()) {
        return "Quorvane is inactive: " + *inactive;
    }
    return StartEventNow(argument.empty() ? std::nullopt : std::optional(argument));
}

// Only ASCII goes back over RCON, as in every text the plugin sends.
std::string Ascii(const std::string& text) {
    std::string out = text;
    for (auto& c : out) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            c = '?';
        }
    }
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

void AnswerRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    FString reply(SafeReply(Narrow(packet->Body)).c_str());
    connection->SendMessageW(packet->Id, 0, &reply);
}

// The answer goes to the player who typed the command, as the framework's own console
// commands answer, and to the log.
void AnswerConsole(APlayerController* player, FString* command, bool) {
    const std::string reply = SafeReply(Narrow(*command));
    std::istringstream lines(reply);
    for (std::string line; std::getline(lines, line);) {
        PluginLog()->info("{}", line);
    }
    // The text is an argument, never the format: it may hold braces.
    AsaApi::GetApiUtils().SendServerMessage(static_cast<AShooterPlayerController*>(player),
                                            FColorList::Green, L"{}", *FString(reply.c_str()));
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
    if (name == kStatus) {
        return Ascii(Status());
    }
    if (name == kNext) {
        return Ascii(Next(argument));
    }
    if (name == kReload) {
        return Ascii(Reload());
    }
    return "Unknown command " + Ascii(name);
}

void RegisterCommands() {
    auto& commands = AsaApi::GetCommands();
    for (const char* name : {kStatus, kNext, kReload}) {
        commands.AddRconCommand(FString(name), &AnswerRcon);
        commands.AddConsoleCommand(FString(name), &AnswerConsole);
    }
}

void RemoveCommands() {
    auto& commands = AsaApi::GetCommands();
    for (const char* name : {kStatus, kNext, kReload}) {
        commands.RemoveRconCommand(FString(name));
        commands.RemoveConsoleCommand(FString(name));
    }
}

}  // namespace quorvane
