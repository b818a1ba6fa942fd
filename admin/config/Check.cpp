#include "Check.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "KnownKeys.h"
#include "MapData.h"
#include "TimeZone.h"
#include "base/Text.h"
#include "config/ConfigParser.h"
#include "events/EventTexts.h"
#include "notify/DiscordPost.h"

namespace quorvane::admin {
namespace {

using nlohmann::json;

// What one RCON packet carries.
constexpr std::size_t kRconText = 4086;

bool HasNonAscii(const std::string& text) {
    return AsciiOnly(text) != text;
}

std::string Coordinate(const WorldCoordinate& c) {
    return FormatG(c.X) + " " + FormatG(c.Y) + " " + FormatG(c.Z);
}

// What the running server would run into with these settings, beyond what the plugin itself
// warns of at load; and the most characters a filled post puts into its embeds.
std::vector<std::string> ServerWarnings(const Settings& s, const MapData& map,
                                        std::size_t& longestEmbeds) {
    std::vector<std::string> out;
    if (s.RandomEvents.empty()) {
        out.push_back("no events: this server starts none");
    }
    // With DiscordKeepUnicode only RCON narrows; with PlayerAnnouncements "quorvane" RCON
    // keeps every letter, so only Discord can narrow.
    const bool rconKeeps = s.PlayerAnnouncements == AnnouncementWay::Quorvane;
    const std::string arrives =
        rconKeeps ? " holds characters outside ASCII: in Discord each of their bytes arrives as ?"
        : s.DiscordKeepUnicode ? " holds characters outside ASCII: over RCON each of their "
                                 "bytes arrives as ?"
                               : " holds characters outside ASCII: each of their bytes "
                                 "arrives as ?";
    const auto narrowed = [&](bool toRcon, bool toDiscord) {
        return (toRcon && !rconKeeps) || (toDiscord && !s.DiscordKeepUnicode);
    };
    for (const auto& [name, text, toRcon, toDiscord] :
         {std::tuple{"BroadcastStartEventMessage", &s.BroadcastStartEventMessage, true, false},
          std::tuple{"DiscordBroadcastMessage", &s.DiscordBroadcastMessage, false, true},
          std::tuple{"DiscordBroadcastHeader", &s.DiscordBroadcastHeader, false, true},
          std::tuple{"BroadcastEventWarningMessage", &s.BroadcastEventWarningMessage, true, false},
          std::tuple{"DiscordEventWarningMessage", &s.DiscordEventWarningMessage, false, true},
          std::tuple{"BroadcastEndEventMessage", &s.BroadcastEndEventMessage, true, false},
          std::tuple{"DiscordEndEventMessage", &s.DiscordEndEventMessage, false, true},
          std::tuple{"Serverlabel", &s.Serverlabel, true, true}}) {
        if (HasNonAscii(*text) && narrowed(toRcon, toDiscord)) {
            out.push_back(std::string(name) + arrives);
        }
    }
    std::size_t longestBroadcast = 0;
    std::size_t longestHeader = 0;
    std::size_t longestMessage = 0;
    for (const auto& event : s.RandomEvents) {
        if (HasNonAscii(event.Eventlabel) && narrowed(true, true)) {
            out.push_back("the label of event " + event.EventId + arrives);
        }
        for (const auto& coordinate : event.RandomCCCs) {
            if (map.HasMap() && !map.Holds(coordinate)) {
                out.push_back("coordinate " + Coordinate(coordinate) + " of event " +
                              event.EventId + " lies in no map entry");
            }
            // Without a map, positions as wide as they come: -100.000000.
            const LatLon position = map.HasMap() ? map.Position(coordinate) : LatLon{-100, -100};
            const auto texts = ComposeEventTexts(s, event, coordinate, position, &AsciiStrnicmp);
            longestBroadcast = std::max(longestBroadcast, texts.Broadcast.Command.size());
            longestHeader = std::max(longestHeader, CharacterCount(texts.DiscordHeader));
            longestMessage = std::max(longestMessage, CharacterCount(texts.DiscordMessage));
            if (const auto post = MakeDiscordPost(
                    s, {texts.DiscordMessage, texts.DiscordHeader, event.DiscordImageUrl, ""})) {
                longestEmbeds = std::max(longestEmbeds, post->EmbedCharacters);
            }
        }
    }
    // A warning goes out only before a longer wait; a fixed time can be a week away.
    const bool fixedTimes = std::any_of(s.RandomEvents.begin(), s.RandomEvents.end(),
                                        [](const RandomEvent& event) { return !event.At.empty(); });
    const std::int32_t longestWait = std::max({s.MinimumTimeToWait, s.MaximumTimeToWait,
                                               s.MinimumTimeToNextEvent, s.MaximumTimeToNextEvent});
    for (const auto minutes : s.EventWarningMinutes) {
        if (!fixedTimes && minutes >= longestWait) {
            out.push_back("EventWarningMinutes " + std::to_string(minutes) +
                          " is not shorter than any wait this server draws (at most " +
                          std::to_string(longestWait) + " minute(s)): it is never sent");
        }
    }
    if (longestBroadcast > kRconText) {
        out.push_back("the broadcast, filled, takes up to " + std::to_string(longestBroadcast) +
                      " bytes; one RCON packet carries at most " + std::to_string(kRconText));
    }
    if (!s.DiscordWebhook.empty()) {
        // Role mentions open every post's content.
        std::size_t mentions = 0;
        for (const auto& id : s.DiscordMentionRoleIds) {
            mentions += id.size() + 5;
        }
        for (const auto& [name, what, text, longest, limit] :
             {std::tuple{"DiscordBroadcastHeader", "header", &s.DiscordBroadcastHeader,
                         longestHeader, kDiscordContentLimit - mentions},
              std::tuple{"DiscordBroadcastMessage", "message", &s.DiscordBroadcastMessage,
                         longestMessage, kDiscordDescriptionLimit}}) {
            const std::size_t alone =
                CharacterCount(s.DiscordKeepUnicode ? *text : AsciiOnly(*text));
            if (alone > limit) {
                out.push_back(std::string(name) + " alone has " + std::to_string(alone) +
                              " characters, more than Discord takes (" + std::to_string(limit) +
                              "): every post's " + what + " is cut to that");
            } else if (longest > limit) {
                out.push_back(std::string("the Discord ") + what + ", filled, takes up to " +
                              std::to_string(longest) + " characters; Discord takes at most " +
                              std::to_string(limit) + ": such a " + what + " is cut to that");
            }
        }
    }
    return out;
}

// Whether an announcement reaches players: the game runs it as a console command, and only
// these show text to them (Broadcast, over RCON, as the framework's chat line).
bool ShowsTextToPlayers(const std::string& command) {
    std::string name = command.substr(0, command.find_first_of(" \t"));
    for (auto& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name == "serverchat" || name == "broadcast";
}

std::vector<std::string> FileWarnings(const json& document) {
    std::vector<std::string> out;
    for (const auto& unknown : UnknownKeys(document)) {
        out.push_back(unknown.pointer + ": unknown key; the plugin ignores it (did you mean \"" +
                      unknown.closest + "\"?)");
    }
    const bool toQuorvane = document.is_object() && document.contains("PlayerAnnouncements") &&
                            document["PlayerAnnouncements"] == "quorvane";
    for (const auto& key : kAnnouncementKeys) {
        if (!document.is_object() || !document.contains(key.name) ||
            !document[key.name].is_string()) {
            continue;
        }
        const std::string text = document[key.name];
        if (toQuorvane) {
            // quorvane.announce shows the text itself: a console command in front is shown too.
            if (ShowsTextToPlayers(text)) {
                out.push_back(std::string(key.name) +
                              R"( begins with ServerChat or Broadcast: with )"
                              R"(PlayerAnnouncements "quorvane" players see the text as )"
                              R"(written, that word too)");
            }
        } else if ((key.sentWhenEmpty || !text.empty()) && !ShowsTextToPlayers(text)) {
            out.push_back(std::string(key.name) +
                          " does not begin with ServerChat or Broadcast: a server takes it for "
                          "an unknown command and no player sees it");
        }
    }
    if (document.is_object() && document.contains("DiscordWebhook") &&
        document["DiscordWebhook"].is_string()) {
        const std::string webhook = document["DiscordWebhook"];
        if (!webhook.empty() && !webhook.starts_with("https://")) {
            out.push_back("DiscordWebhook is not an https:// address: " + webhook);
        }
    }
    return out;
}

// A warning of the plugin's that concerns a setting all servers share.
bool AboutSharedSetting(const std::string& text) {
    return text.starts_with("/Discord") || text.starts_with("DiscordWebhookColor ") ||
           text.starts_with("RconClientTimeoutSeconds ") ||
           text.starts_with("PlayerAnnouncements ") || text.starts_with("NotificationS") ||
           text.starts_with("NotificationColor ") || text.starts_with("PlayerCommand ") ||
           text.starts_with("EventWarningMinutes is set without ") ||
           text.starts_with("DiscordBroadcastHeader alone ") ||
           text.starts_with("DiscordBroadcastMessage alone ");
}

}  // namespace

int CheckReport::ExitCode() const {
    if (!unreadable.empty() ||
        std::any_of(servers.begin(), servers.end(), [](const auto& s) { return !s.active; })) {
        return 2;
    }
    return warnings.empty() ? 0 : 1;
}

json ReadDocument(const std::filesystem::path& file) {
    std::ifstream stream(file);
    if (!stream) {
        throw std::runtime_error("cannot be opened");
    }
    json document;
    stream >> document;
    return document;
}

CheckReport CheckConfig(const std::filesystem::path& file, const std::optional<std::string>& key,
                        const MapData& map) {
    CheckReport report;
    report.file = file.string();
    json document;
    try {
        document = ReadDocument(file);
    } catch (const std::exception& e) {
        report.unreadable = ReasonOf(e.what());
        return report;
    }
    std::vector<std::string> keys;
    if (key) {
        keys.push_back(*key);
    } else if (document.is_object()) {
        for (const auto& [name, value] : document.items()) {
            if (value.is_object()) {
                keys.push_back(name);
            }
        }
    }
    if (keys.empty()) {
        report.unreadable =
            std::string(document.is_object() ? "no server section" : "not a JSON object") +
            ": every server would be inactive";
        return report;
    }

    const auto zoneFolder = ZoneFolderFor(file);
    // A warning every server gets concerns the shared settings: it is named once.
    std::map<std::string, std::set<std::string>> serversOf;
    std::vector<CheckWarning> perServer;
    for (const auto& name : keys) {
        const auto parsed = ParseConfig(
            document, [&] { return name; }, zoneFolder);
        ServerVerdict verdict{name, !parsed.problem, {}, {}, {}, {}, {}};
        if (parsed.problem) {
            verdict.pointer = parsed.problem->pointer;
            verdict.reason = parsed.problem->reason;
            verdict.logged = parsed.problem->message;
        }
        report.servers.push_back(verdict);
        std::vector<std::string> texts;
        for (const auto& note : parsed.notes) {
            if (note.level == ConfigNote::Level::Warning && note.text != "Invalid RconInfo") {
                texts.push_back(note.text);
            }
        }
        if (!parsed.problem) {
            if (const auto& zone = parsed.settings.TimeZone; !zone.Name().empty()) {
                report.servers.back().zone = {zone.Name(), zone.Database()};
            }
            std::size_t embeds = 0;
            const auto more = ServerWarnings(parsed.settings, map, embeds);
            if (embeds > 0) {
                report.servers.back().discordEmbedCharacters = embeds;
            }
            texts.insert(texts.end(), more.begin(), more.end());
        }
        for (auto& text : texts) {
            if (serversOf[text].insert(name).second) {
                perServer.push_back({name, std::move(text)});
            }
        }
    }
    for (const auto& text : FileWarnings(document)) {
        report.warnings.push_back({"", text});
    }
    std::set<std::string> shared;
    for (const auto& warning : perServer) {
        if (AboutSharedSetting(warning.text) ||
            (keys.size() > 1 && serversOf[warning.text].size() == keys.size())) {
            if (shared.insert(warning.text).second) {
                report.warnings.push_back({"", warning.text});
            }
        } else {
            report.warnings.push_back(warning);
        }
    }
    return report;
}

std::string ToText(const CheckReport& report) {
    std::string out;
    if (!report.unreadable.empty()) {
        return report.file + ": not a cluster file: " + report.unreadable + "\n";
    }
    out += report.file + ": " + std::to_string(report.servers.size()) + " server section(s)\n";
    for (const auto& server : report.servers) {
        if (server.active) {
            out += server.key + ": active\n";
            if (const auto embeds = server.discordEmbedCharacters) {
                out += "  a filled Discord post has up to " + std::to_string(*embeds) + " of the " +
                       std::to_string(kDiscordEmbedsLimit) +
                       " characters Discord takes in all its embeds\n";
            }
        } else {
            out += server.key + ": inactive: " + server.pointer + ": " + server.reason + "\n";
            out += "  the plugin logs: " + server.logged + "\n";
        }
    }
    // Where each zone came from, once however many servers share it.
    std::set<std::pair<std::string, std::string>> zones;
    for (const auto& server : report.servers) {
        if (server.zone && zones.insert(*server.zone).second) {
            out += "TimeZone " + server.zone->first + ": from " + server.zone->second + "\n";
        }
    }
    for (const auto& warning : report.warnings) {
        out += "warning: " + (warning.server.empty() ? "" : warning.server + ": ") + warning.text +
               "\n";
    }
    return out;
}

json ToJson(const CheckReport& report) {
    json out = {{"file", report.file}, {"exit", report.ExitCode()}};
    if (!report.unreadable.empty()) {
        out["unreadable"] = report.unreadable;
    }
    out["servers"] = json::array();
    for (const auto& server : report.servers) {
        json entry = {{"key", server.key}, {"active", server.active}};
        if (server.discordEmbedCharacters) {
            entry["discord_embed_characters"] = *server.discordEmbedCharacters;
        }
        if (server.zone) {
            entry["zone"] = {{"name", server.zone->first}, {"from", server.zone->second}};
        }
        if (!server.active) {
            entry["pointer"] = server.pointer;
            entry["reason"] = server.reason;
            entry["logged"] = server.logged;
        }
        out["servers"].push_back(entry);
    }
    out["warnings"] = json::array();
    for (const auto& warning : report.warnings) {
        out["warnings"].push_back(
            {{"server", warning.server.empty() ? json(nullptr) : json(warning.server)},
             {"text", warning.text}});
    }
    return out;
}

}  // namespace quorvane::admin
