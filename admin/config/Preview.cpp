#include "Preview.h"

#include <algorithm>
#include <stdexcept>

#include "History.h"
#include "MapData.h"
#include "base/Text.h"
#include "events/EventDraw.h"
#include "events/EventTexts.h"
#include "history/EventRecord.h"
#include "notify/DiscordPost.h"
#include "notify/RconJob.h"

namespace quorvane::admin {
namespace {

using nlohmann::json;

// The external client's arguments; the built-in client sends the text itself, as it is.
json Client(const RconJob& job, const RconTarget& target, const std::string& text) {
    json client = {{"server", target.ServerKey},
                   {"address", target.RconIP + ":" + std::to_string(target.RconPort)}};
    if (job.Client == RconClientKind::Builtin) {
        client["builtin"] = text;
    } else {
        client["arguments"] = ClientArguments(job.ClientPath, target, text);
    }
    return client;
}

}  // namespace

json Preview(const Settings& s, const std::optional<std::string>& eventId, const MapData& map) {
    json out = json::array();
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
            const auto job = MakeRconJob(s, event.EventId, texts.EventCommand, texts.BroadcastText);
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
                entry["broadcasts"].push_back(Client(job, target, job.BroadcastText));
            }
            if (const auto post = MakeDiscordPost(
                    s, {texts.DiscordMessage, texts.DiscordHeader, event.DiscordImageUrl,
                        UtcText(std::chrono::system_clock::now())})) {
                entry["discord"] = {{"url", post->Url}, {"body", post->Body}};
                if (!post->Cuts.empty()) {
                    entry["discord"]["cuts"] = post->Cuts;
                }
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
        if (entry.contains("discord")) {
            out += "  Discord POST " + entry["discord"]["url"].get<std::string>() + ": " +
                   entry["discord"]["body"].get<std::string>() + "\n";
            for (const auto& cut : entry["discord"].value("cuts", json::array())) {
                out += "  (" + cut.get<std::string>() + ")\n";
            }
        } else {
            out += "  Discord: none (no webhook, colour or message)\n";
        }
    }
    return out;
}

}  // namespace quorvane::admin
