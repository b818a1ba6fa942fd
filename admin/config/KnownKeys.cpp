#include "KnownKeys.h"

#include <algorithm>
#include <numeric>

namespace quorvane::admin {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

const Names kShared = {"$schema",
                       "Debug",
                       "DiscordWebhook",
                       "DiscordWebhookColor",
                       "DiscordKeepUnicode",
                       "DiscordMentionRoleIds",
                       "DiscordUsername",
                       "DiscordAvatarUrl",
                       "DiscordThreadId",
                       "DiscordTimestamp",
                       "DiscordVerifiedTransport",
                       "DiscordBroadcastHeader",
                       "DiscordBroadcastMessage",
                       "BroadcastStartEventMessage",
                       "ServerEventsCommand",
                       "MCRconPath",
                       "RconClient",
                       "RconClientTimeoutSeconds",
                       "EventWarningMinutes",
                       "BroadcastEventWarningMessage",
                       "DiscordEventWarningMessage",
                       "BroadcastEndEventMessage",
                       "DiscordEndEventMessage",
                       "TimeZone",
                       "KeepScheduleAcrossRestarts",
                       "PlayerAnnouncements",
                       "AnnouncementSender",
                       "NotificationSeconds",
                       "NotificationScale",
                       "NotificationColor",
                       "PlayerCommand"};
const Names kSection = {"Serverlabel",          "RconSettings", "StartEventOnBootSettings",
                        "TimeBetweenEvents",    "RandomEvents", "AvoidRepeats",
                        "MinimumPlayersOnline", "ActiveHours",  "RconClient"};
const Names kRcon = {"RconIP", "RconPort", "RconPassword"};
const Names kBoot = {"MinimumTimeToWait", "MaximumTimeToWait"};
const Names kBetween = {"MinimumTimeToNextEvent", "MaximumTimeToNextEvent"};
const Names kEvent = {"Eventlabel", "RandomCCCs",      "Weight",    "DiscordImageUrl",
                      "At",         "DurationMinutes", "EndCommand"};

std::string Escaped(const std::string& key) {
    std::string out;
    for (const char c : key) {
        out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    }
    return out;
}

std::string Closest(const std::string& name, const Names& known) {
    return *std::min_element(known.begin(), known.end(), [&](const auto& a, const auto& b) {
        return EditDistance(name, a) < EditDistance(name, b);
    });
}

void Check(const json& object, const Names& known, const std::string& pointer,
           std::vector<UnknownKey>& out) {
    if (!object.is_object()) {
        return;
    }
    for (const auto& [name, value] : object.items()) {
        if (std::find(known.begin(), known.end(), name) == known.end()) {
            out.push_back({pointer + "/" + Escaped(name), Closest(name, known)});
        }
    }
}

}  // namespace

const std::vector<AnnouncementKey> kAnnouncementKeys = {
    {"BroadcastStartEventMessage", true},
    {"BroadcastEventWarningMessage", false},
    {"BroadcastEndEventMessage", false},
};

std::size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), 0);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::vector<UnknownKey> UnknownKeys(const json& document) {
    std::vector<UnknownKey> out;
    if (!document.is_object()) {
        return out;
    }
    for (const auto& [name, value] : document.items()) {
        // Every object is a server section, whatever its name; anything else must be shared.
        if (!value.is_object()) {
            if (std::find(kShared.begin(), kShared.end(), name) == kShared.end()) {
                out.push_back({"/" + Escaped(name), Closest(name, kShared)});
            }
            continue;
        }
        const std::string section = "/" + Escaped(name);
        Check(value, kSection, section, out);
        if (value.contains("RconSettings")) {
            Check(value["RconSettings"], kRcon, section + "/RconSettings", out);
        }
        if (value.contains("StartEventOnBootSettings")) {
            Check(value["StartEventOnBootSettings"], kBoot, section + "/StartEventOnBootSettings",
                  out);
        }
        if (value.contains("TimeBetweenEvents")) {
            Check(value["TimeBetweenEvents"], kBetween, section + "/TimeBetweenEvents", out);
        }
        if (value.contains("RandomEvents") && value["RandomEvents"].is_object()) {
            for (const auto& [id, event] : value["RandomEvents"].items()) {
                Check(event, kEvent, section + "/RandomEvents/" + Escaped(id), out);
            }
        }
    }
    return out;
}

}  // namespace quorvane::admin
