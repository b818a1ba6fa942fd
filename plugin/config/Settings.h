#pragma once
// The settings of one server, as read from config.json.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/ActiveHours.h"
#include "config/FixedTime.h"
#include "platform/TimeZone.h"

namespace quorvane {

// A position in the game world, in world units.
struct WorldCoordinate {
    float X = 0;
    float Y = 0;
    float Z = 0;
};

// One server's RCON endpoint.
struct RconTarget {
    std::string RconIP;
    std::int32_t RconPort = 0;
    std::string RconPassword;
    // The name of its section, for the log.
    std::string ServerKey;
};

// The cluster's servers, never changed once made: every copy of the settings and every job
// made from them shares one list, so that an event's job copies none of its targets.
class RconTargetList {
  public:
    RconTargetList() = default;
    RconTargetList(std::vector<RconTarget> targets)  // NOLINT(google-explicit-constructor)
        : targets_(std::make_shared<const std::vector<RconTarget>>(std::move(targets))) {}
    RconTargetList(std::initializer_list<RconTarget> targets)
        : RconTargetList(std::vector<RconTarget>(targets)) {}

    std::size_t size() const { return targets_ ? targets_->size() : 0; }
    bool empty() const { return size() == 0; }
    const RconTarget* begin() const { return targets_ ? targets_->data() : nullptr; }
    const RconTarget* end() const { return begin() + size(); }
    const RconTarget& operator[](std::size_t i) const { return (*targets_)[i]; }
    const RconTarget& front() const { return targets_->front(); }
    void clear() { targets_.reset(); }

  private:
    std::shared_ptr<const std::vector<RconTarget>> targets_;
};

struct RandomEvent {
    std::string EventId;
    std::string Eventlabel;
    std::vector<WorldCoordinate> RandomCCCs;
    // How often it is drawn against the others: 1 to 1000.
    std::int32_t Weight = 1;
    // The Discord embed's image; empty: none.
    std::string DiscordImageUrl = {};
    // When it starts beside the random chain.
    std::vector<FixedTime> At = {};
    // How long it runs, in minutes (1 to 1440); 0: it never ends.
    std::int32_t DurationMinutes = 0;
    // Run on its own server when it ends, with the placeholders of the announcements.
    std::string EndCommand = {};
};

// How RCON messages go out: through the client program of MCRconPath, or the plugin's own.
enum class RconClientKind { External, Builtin };

// How announcements reach players: each text a console command as written, or each sent to
// every server as quorvane.announce, whose own Quorvane shows it on screen and in the chat.
enum class AnnouncementWay { Console, Quorvane };

struct Settings {
    bool Debug = false;
    std::string ServerKey;
    std::string Serverlabel;
    std::string DiscordWebhook;
    std::string DiscordBroadcastMessage;
    std::string MCRconPath;  // empty with the built-in client
    // This server's section's RconClient, else the top level's.
    RconClientKind RconClient = RconClientKind::External;
    std::string DiscordBroadcastHeader;
    std::string DiscordWebhookColor;
    // The Discord texts keep the UTF-8 of the templates and labels; else they are ASCII, as
    // the RCON texts always are.
    bool DiscordKeepUnicode = false;
    // The optional parts of every Discord post; empty or false: left out, as is a value
    // Discord would refuse.
    std::vector<std::string> DiscordMentionRoleIds;
    std::string DiscordUsername;
    std::string DiscordAvatarUrl;
    std::string DiscordThreadId;
    bool DiscordTimestamp = false;
    // Posts go through the plugin's own HTTP client, which checks Discord's certificate, rather
    // than the framework's request service, which checks none.
    bool DiscordVerifiedTransport = false;
    std::string ServerEventsCommand;
    RconTarget RconSettings;
    std::string BroadcastStartEventMessage;
    // How long one run of the RCON client may take before it is ended.
    double RconClientTimeoutSeconds = 10;
    std::int32_t MinimumTimeToWait = 0;  // minutes
    std::int32_t MaximumTimeToWait = 0;
    std::int32_t MinimumTimeToNextEvent = 0;
    std::int32_t MaximumTimeToNextEvent = 0;
    std::vector<RandomEvent> RandomEvents;
    // An event among this server's last so many started ones is not drawn while another can
    // be: 0 to 100.
    std::int32_t AvoidRepeats = 0;
    // Fewer players than this, and a due event is skipped.
    std::int32_t MinimumPlayersOnline = 0;
    // Outside these hours a due event is skipped; none: at any hour.
    std::optional<DailyHours> ActiveHours;
    // Countdown warnings before each event, in minutes, longest first, and their templates.
    std::vector<std::int32_t> EventWarningMinutes;
    std::string BroadcastEventWarningMessage;
    std::string DiscordEventWarningMessage;
    // When an event with a duration ends: to every server, and to Discord; empty: none.
    std::string BroadcastEndEventMessage;
    std::string DiscordEndEventMessage;
    // The IANA zone of ActiveHours and At; unnamed: the server's local time.
    platform::Zone TimeZone;
    // The next event's time, and with warnings its draw, kept in schedule.json.
    bool KeepScheduleAcrossRestarts = false;
    AnnouncementWay PlayerAnnouncements = AnnouncementWay::Console;
    // How this server's Quorvane shows an announcement it is sent: the chat line's sender, and
    // the on-screen notification's seconds, size and colour (0xRRGGBB).
    std::string AnnouncementSender = "Quorvane";
    double NotificationSeconds = 10;
    double NotificationScale = 1.5;
    std::uint32_t NotificationColor = 0xFFFFFF;
    // The chat command that tells a player what is coming ("/event"); empty: none.
    std::string PlayerCommand;
    // The endpoint of every server section, this server's own included, in byte order of
    // the section names.
    RconTargetList RconInfos;
};

}  // namespace quorvane
