#include "Preview.h"

#include <algorithm>
#include <stdexcept>

#include "History.h"
#include "MapData.h"
#include "base/Text.h"
#include "events/Calendar.h"
#include "events/EventDraw.h"
#include "events/EventTexts.h"
#include "history/EventRecord.h"
#include "notify/DiscordPost.h"
#include "notify/RconJob.h"
#include "platform/Clock.h"

namespace quorvane::admin {
namespace {

using nlohmann::json;

// The external client's arguments; the built-in client sends the text itself, as it is. An
// announcement to Quorvane always goes through the built-in client, which reads the answer.
json Client(const RconJob& job, const RconTarget& target, const std::string& text,
            bool broadcast = false) {
    json client = {{"server", target.ServerKey},
                   {"address", target.RconIP + ":" + std::to_string(target.RconPort)}};
    if (broadcast && job.Announce) {
        client["builtin"] = text;
        client["fallback"] = job.BroadcastFallback;
    } else if (job.Client == RconClientKind::Builtin) {
        client["builtin"] = text;
    } else {
        client["arguments"] = ClientArguments(job.ClientPath, target, text);
    }
    return client;
}

json Post(const DiscordPost& post) {
    json out = {{"url", post.Url}, {"body", post.Body}};
    if (!post.Cuts.empty()) {
        out["cuts"] = post.Cuts;
    }
    return out;
}

// Each warning, as if the event were due in that many minutes; Discord's at the first.
json Warnings(const Settings& s, const RandomEvent& event, const LatLon& position,
              std::chrono::system_clock::time_point now) {
    json out = json::array();
    for (const auto minutes : s.EventWarningMinutes) {
        const auto texts = ComposeWarningTexts(s, event, position, minutes,
                                               now + std::chrono::minutes(minutes), &AsciiStrnicmp);
        json warning = {{"minutes", minutes}, {"broadcasts", json::array()}};
        if (!s.BroadcastEventWarningMessage.empty()) {
            if (texts.Broadcast.ToQuorvane) {
                warning["announcement"] = texts.Broadcast.Text;
            }
            const auto job = MakeRconJob(s, event.EventId, {}, texts.Broadcast);
            for (const auto& target : job.Targets) {
                warning["broadcasts"].push_back(Client(job, target, job.BroadcastText, true));
            }
        }
        const auto startsAt = UtcText(now + std::chrono::minutes(minutes));
        if (const auto post =
                MakeDiscordPost(s, {texts.DiscordMessage, {}, event.DiscordImageUrl, startsAt});
            post && out.empty()) {
            warning["discord"] = Post(*post);
        }
        out.push_back(warning);
    }
    return out;
}

// The event's next fixed time from now.
json FixedTimes(const Settings& s, const RandomEvent& event,
                std::chrono::system_clock::time_point now) {
    json times = json::array();
    for (const auto& time : event.At) {
        times.push_back(time.Text);
    }
    const auto next =
        NextFixedTime(event.At, s.TimeZone, std::chrono::floor<std::chrono::seconds>(now));
    return {{"times", times},
            {"zone", s.TimeZone.Name().empty() ? json(nullptr) : json(s.TimeZone.Name())},
            {"next", next ? json(UtcText(*next)) : json(nullptr)}};
}

// What happens when the event ends, as if it ended now.
json End(const Settings& s, const RandomEvent& event, const LatLon& position,
         std::chrono::system_clock::time_point now) {
    auto texts = ComposeEndTexts(s, event, position, &AsciiStrnicmp);
    auto job = MakeRconJob(s, event.EventId, texts.EndCommand, texts.Broadcast);
    if (texts.Broadcast.Command.empty()) {
        job.Targets.clear();
    }
    json out = {{"minutes", event.DurationMinutes}, {"broadcasts", json::array()}};
    if (!job.EventCommand.empty()) {
        out["command"] = Client(job, job.Own, job.EventCommand);
    }
    for (const auto& target : job.Targets) {
        out["broadcasts"].push_back(Client(job, target, job.BroadcastText, true));
    }
    if (job.Announce && !job.Targets.empty()) {
        out["announcement"] = texts.Broadcast.Text;
    }
    if (!s.DiscordEndEventMessage.empty()) {
        if (const auto post = MakeDiscordPost(
                s, {texts.DiscordMessage, {}, event.DiscordImageUrl, UtcText(now)})) {
            out["discord"] = Post(*post);
        }
    }
    return out;
}

}  // namespace

json Preview(const Settings& s, const std::optional<std::string>& eventId, const MapData& map) {
    json out = json::array();
    const auto now = platform::SystemClock().Now();
    bool found = !eventId;
    // Each event's share of the draws, where weights make them differ.
    const auto shares = EventShares(s.RandomEvents);
    const bool weighted = std::any_of(s.RandomEvents.begin(), s.RandomEvents.end(),
                                      [](const RandomEvent& event) { return event.Weight != 1; });
    for (std::size_t index = 0; index < s.RandomEvents.size(); ++index) {
        const auto& event = s.RandomEvents[index];
        if (eventId && event.EventId != *eventId) {
            continue;
        }
        found = true;
        for (const auto& coordinate : event.RandomCCCs) {
            const LatLon position = map.Position(coordinate);
            const auto texts = ComposeEventTexts(s, event, coordinate, position, &AsciiStrnicmp);
            const auto job = MakeRconJob(s, event.EventId, texts.EventCommand, texts.Broadcast);
            json entry = {{"event", event.EventId},
                          {"label", event.Eventlabel},
                          {"coordinate",
                           {ShortestFloatValue(coordinate.X), ShortestFloatValue(coordinate.Y),
                            ShortestFloatValue(coordinate.Z)}},
                          {"lat", position.Lat},
                          {"lon", position.Lon},
                          {"command", Client(job, job.Own, job.EventCommand)},
                          {"broadcasts", json::array()}};
            if (weighted) {
                entry["weight"] = event.Weight;
                entry["share"] = shares[index];
            }
            for (const auto& target : job.Targets) {
                entry["broadcasts"].push_back(Client(job, target, job.BroadcastText, true));
            }
            if (job.Announce && !job.Targets.empty()) {
                entry["announcement"] = texts.Broadcast.Text;
            }
            if (const auto post = MakeDiscordPost(s, {texts.DiscordMessage, texts.DiscordHeader,
                                                      event.DiscordImageUrl, UtcText(now)})) {
                entry["discord"] = Post(*post);
            }
            if (!s.EventWarningMinutes.empty()) {
                entry["warnings"] = Warnings(s, event, position, now);
            }
            if (!event.At.empty()) {
                entry["at"] = FixedTimes(s, event, now);
            }
            if (event.DurationMinutes > 0) {
                entry["end"] = End(s, event, position, now);
            }
            out.push_back(entry);
        }
    }
    if (!found) {
        std::string ids;
        for (const auto& event : s.RandomEvents) {
            ids += (ids.empty() ? "" : ", ") + event.EventId;
        }
        throw std::invalid_argument("no event " + *eventId + " on this server (its events: " +
                                    (ids.empty() ? "none" : ids) + ")");
    }
    return out;
}

std::string PreviewText(const json& preview) {
    std::string out;
    for (const auto& entry : preview) {
        const auto& c = entry["coordinate"];
        out += "event " + entry["event"].get<std::string>() + " (" +
               entry["label"].get<std::string>() + ") at " + FormatG(c[0]) + " " + FormatG(c[1]) +
               " " + FormatG(c[2]) + ": Lat " + FormatPercent(entry["lat"]) + ", Lon " +
               FormatPercent(entry["lon"]) +
               (entry.contains("share") ? ", weight " + entry["weight"].dump() + ", drawn " +
                                              SharePercent(entry["share"]) + " of the time"
                                        : "") +
               "\n";
        const auto line = [&](const char* what, const json& client) {
            out += std::string("  ") + what + " to " + client["server"].get<std::string>() + " (" +
                   client["address"].get<std::string>() + "): " +
                   (client.contains("builtin") ? "built-in client sends " + client["builtin"].dump()
                                               : client["arguments"].dump()) +
                   "\n";
        };
        line("command", entry["command"]);
        for (const auto& broadcast : entry["broadcasts"]) {
            line("broadcast", broadcast);
        }
        if (entry.contains("announcement")) {
            out += "  players see: " + entry["announcement"].dump() + "; where no Quorvane takes " +
                   "it, " + entry["broadcasts"][0]["fallback"].dump() + "\n";
        }
        const auto post = [&](const char* what, const json& discord) {
            out += std::string("  ") + what + " POST " + discord["url"].get<std::string>() + ": " +
                   discord["body"].get<std::string>() + "\n";
            for (const auto& cut : discord.value("cuts", json::array())) {
                out += "  (" + cut.get<std::string>() + ")\n";
            }
        };
        if (entry.contains("discord")) {
            post("Discord", entry["discord"]);
        } else {
            out += "  Discord: none (no webhook, colour or message)\n";
        }
        // One line a warning: only the address and password differ from server to server.
        for (const auto& warning : entry.value("warnings", json::array())) {
            const std::string minutes = warning["minutes"].dump();
            std::string servers;
            for (const auto& broadcast : warning["broadcasts"]) {
                servers += (servers.empty() ? "" : ", ") + broadcast["server"].get<std::string>();
            }
            if (!servers.empty()) {
                const auto& first = warning["broadcasts"][0];
                out += "  warning " + minutes + " min to " + servers + ": " +
                       (first.contains("builtin") ? first["builtin"] : first["arguments"].back())
                           .dump() +
                       "\n";
                if (warning.contains("announcement")) {
                    out += "  players see: " + warning["announcement"].dump() + "\n";
                }
            }
            if (warning.contains("discord")) {
                post(("Discord warning " + minutes + " min").c_str(), warning["discord"]);
            }
        }
        if (entry.contains("end")) {
            const auto& end = entry["end"];
            out += "  ends after " + end["minutes"].dump() + " min\n";
            if (end.contains("command")) {
                line("end command", end["command"]);
            }
            for (const auto& broadcast : end["broadcasts"]) {
                line("end broadcast", broadcast);
            }
            if (end.contains("announcement")) {
                out += "  players see at the end: " + end["announcement"].dump() + "\n";
            }
            if (end.contains("discord")) {
                post("Discord end", end["discord"]);
            }
        }
        if (entry.contains("at")) {
            const auto& at = entry["at"];
            std::string times;
            for (const auto& time : at["times"]) {
                times += (times.empty() ? "" : ", ") + time.get<std::string>();
            }
            out += "  fixed times " + times + " (" +
                   (at["zone"].is_null() ? std::string("server's local time")
                                         : at["zone"].get<std::string>()) +
                   "): next " +
                   (at["next"].is_null() ? std::string("none") : at["next"].get<std::string>()) +
                   "\n";
        }
    }
    return out;
}

}  // namespace quorvane::admin
