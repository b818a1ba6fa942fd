#pragma once
// One event's RCON delivery, and the client arguments it is made of. Pure.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "config/Settings.h"
#include "notify/Announcement.h"

namespace quorvane {

// One event's RCON delivery, with its own copy of the settings it was started with.
struct RconJob {
    std::string EventId;
    std::string EventCommand;
    // The filled announcement; a line feed is written as the two characters \ and n.
    std::string BroadcastText;
    // With PlayerAnnouncements "quorvane": the broadcast is quorvane.announce, sent by the
    // built-in client, which reads each server's answer; a server whose answer shows that no
    // Quorvane took it gets BroadcastFallback instead.
    bool Announce = false;
    std::string BroadcastFallback;
    RconClientKind Client = RconClientKind::External;
    std::string ClientPath;  // of the external client
    RconTarget Own;
    RconTargetList Targets;
    // Each client run is ended after this long.
    std::chrono::milliseconds Deadline{std::chrono::seconds(10)};
    bool Debug = false;
    // The event history's record of the event.
    std::uint64_t RecordId = 0;
    // A countdown warning: the broadcast alone, to every server at once, and no event command.
    bool Warning = false;
    // An event's end: its EndCommand on its own server, then the broadcast; without an
    // EndCommand the broadcast alone, as a warning's.
    bool End = false;
    // The broadcast alone, to every server at once.
    bool BroadcastOnly() const { return Warning || (End && EventCommand.empty()); }
};

// One event's job, with a copy of the settings it needs.
RconJob MakeRconJob(const Settings& settings, const std::string& eventId, std::string eventCommand,
                    std::string broadcastText);
// The same with an announcement as the settings compose it: to Quorvane, it goes to no server
// when there is nothing to announce.
RconJob MakeRconJob(const Settings& settings, const std::string& eventId, std::string eventCommand,
                    const Announcement& broadcast);

// The arguments of one client run: the client, -H<address>, -P<port>, -p<password>, the text,
// each exactly as configured; "--" (the end of the options) before a text that begins with '-'.
std::vector<std::string> ClientArguments(const std::string& clientPath, const RconTarget& target,
                                         const std::string& text);

}  // namespace quorvane
