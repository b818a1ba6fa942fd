#include "config/ConfigReader.h"

#include <fstream>
#include <locale>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "config/ServerKey.h"
#include "config/Settings.h"
#include "core/Host.h"
#include "core/PluginLog.h"
#include "core/PluginName.h"

namespace quorvane {
namespace {

using nlohmann::json;

// Reads through non-const member access on purpose: a missing member reads as null, so its
// conversion fails with the library's own message ("type must be string, but is null").
RconTarget ReadRconTarget(json& rcon, const std::string& serverKey) {
    RconTarget target;
    target.ServerKey = serverKey;
    target.RconIP = rcon["RconIP"].get<std::string>();
    target.RconPort = rcon["RconPort"].get<std::int32_t>();
    target.RconPassword = rcon["RconPassword"].get<std::string>();
    return target;
}

// Up to three whitespace-separated floats in the classic locale; a fourth number and
// anything after it are ignored.
std::optional<WorldCoordinate> ParseCoordinate(const std::string& text) {
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    float values[3] = {};
    int count = 0;
    float value = 0;
    while (count < 3 && stream >> value) {
        values[count++] = value;
    }
    if (count < 3) {
        return std::nullopt;
    }
    return WorldCoordinate{values[0], values[1], values[2]};
}

RandomEvent ReadEvent(const std::string& id, json& event) {
    RandomEvent out;
    out.EventId = id;
    out.Eventlabel = event["Eventlabel"].get<std::string>();
    for (auto& item : event["RandomCCCs"].items()) {
        const auto text = item.value().get<std::string>();
        if (auto coordinate = ParseCoordinate(text)) {
            out.RandomCCCs.push_back(*coordinate);
        } else {
            PluginLog()->warn("Invalid coordinate string (less than 3 numbers): {}", text);
        }
    }
    return out;
}

// The values are kept; the event engine swaps such a pair when it draws.
void WarnIfReversed(const char* minimumName, std::int32_t minimum, const char* maximumName,
                    std::int32_t maximum) {
    if (minimum > maximum) {
        PluginLog()->warn("{} ({}) is greater than {} ({}); the two are swapped when drawn",
                          minimumName, minimum, maximumName, maximum);
    }
}

// Optional, in seconds; a wrong type fails like any other setting, a number out of range is
// reported and the default used.
double ReadClientTimeout(const json& doc) {
    constexpr double kDefault = 10;
    constexpr double kLongest = 3600;
    const double seconds = doc.value("RconClientTimeoutSeconds", kDefault);
    if (!(seconds > 0 && seconds <= kLongest)) {
        PluginLog()->warn(
            "RconClientTimeoutSeconds ({:g}) is not above 0 and at most {:g}; {:g} "
            "is used",
            seconds, kLongest, kDefault);
        return kDefault;
    }
    return seconds;
}

void WriteDump(const Settings& s) {
    auto& log = *PluginLog();
    log.info("Config Loaded");
    log.info("Server Key: {}", s.ServerKey);
    log.info("MinimumTimeToWait: {}", s.MinimumTimeToWait);
    log.info("MaximumTimeToWait: {}", s.MaximumTimeToWait);
    log.info("MinimumTimeToNextEvent: {}", s.MinimumTimeToNextEvent);
    log.info("MaximumTimeToNextEvent: {}", s.MaximumTimeToNextEvent);
    log.info("RconInfos ({})", s.RconInfos.size());
    for (const auto& rcon : s.RconInfos) {
        if (rcon.RconIP.empty() || rcon.RconPort == 0 || rcon.RconPassword.empty()) {
            log.warn("Invalid RconInfo");
            continue;
        }
        log.info(" - Rcon IP: {}", rcon.RconIP);
        log.info(" - Rcon Port: {}", rcon.RconPort);
        log.info(" - Rcon Password: {}", rcon.RconPassword);
        log.info("");
    }
    log.info("Events ({})", s.RandomEvents.size());
    for (const auto& event : s.RandomEvents) {
        log.info(" - Event Id: {}", event.EventId);
        log.info(" - Event Label: {}", event.Eventlabel);
        log.info(" - Possible Coordinates ({})", event.RandomCCCs.size());
        for (const auto& c : event.RandomCCCs) {
            // printf's %g, as admins know it from the game's own logs.
            log.info("   - X: {:g}, Y: {:g}, Z: {:g}", static_cast<double>(c.X),
                     static_cast<double>(c.Y), static_cast<double>(c.Z));
        }
    }
}

}  // namespace

std::filesystem::path ConfigFilePath() {
    return std::filesystem::path(AsaApi::Tools::GetCurrentDir()) / "ArkApi" / "Plugins" /
           std::string(kPluginName) / "config.json";
}

void ReadConfig() {
    ReadConfig(ConfigFilePath(), GetServerKey);
}

void ReadConfig(const std::filesystem::path& file, const std::function<std::string()>& serverKey) {
    std::ifstream stream(file);
    if (!stream) {
        throw std::runtime_error("Cannot open " + file.string());
    }
    json& doc = ConfigDocument();
    stream >> doc;
    stream.close();

    Settings& s = EventSettings();
    s.Debug = doc.value("Debug", false);
    s.ServerKey = serverKey();
    PluginLog()->info("Server Key: {}", s.ServerKey);

    const auto own = doc.find(s.ServerKey);
    if (own == doc.end() || own->is_null()) {
        PluginLog()->error("Server Key not found in config");
    }
    json& section = doc[s.ServerKey];
    s.Serverlabel = section["Serverlabel"].get<std::string>();
    PluginLog()->info("Server Label: {}", s.Serverlabel);

    s.DiscordWebhook = doc["DiscordWebhook"].get<std::string>();
    s.DiscordBroadcastMessage = doc["DiscordBroadcastMessage"].get<std::string>();
    s.MCRconPath = doc["MCRconPath"].get<std::string>();
    s.DiscordBroadcastHeader = doc["DiscordBroadcastHeader"].get<std::string>();
    s.DiscordWebhookColor = doc["DiscordWebhookColor"].get<std::string>();
    s.ServerEventsCommand = doc["ServerEventsCommand"].get<std::string>();
    s.RconSettings = ReadRconTarget(section["RconSettings"], s.ServerKey);
    s.BroadcastStartEventMessage = doc["BroadcastStartEventMessage"].get<std::string>();

    json& boot = section["StartEventOnBootSettings"];
    s.MinimumTimeToWait = boot["MinimumTimeToWait"].get<std::int32_t>();
    s.MaximumTimeToWait = boot["MaximumTimeToWait"].get<std::int32_t>();
    json& between = section["TimeBetweenEvents"];
    s.MinimumTimeToNextEvent = between["MinimumTimeToNextEvent"].get<std::int32_t>();
    s.MaximumTimeToNextEvent = between["MaximumTimeToNextEvent"].get<std::int32_t>();
    WarnIfReversed("MinimumTimeToWait", s.MinimumTimeToWait, "MaximumTimeToWait",
                   s.MaximumTimeToWait);
    WarnIfReversed("MinimumTimeToNextEvent", s.MinimumTimeToNextEvent, "MaximumTimeToNextEvent",
                   s.MaximumTimeToNextEvent);

    for (auto& item : section["RandomEvents"].items()) {
        s.RandomEvents.push_back(ReadEvent(item.key(), item.value()));
    }
    for (auto& item : doc.items()) {
        if (item.value().is_object()) {
            s.RconInfos.push_back(ReadRconTarget(item.value()["RconSettings"], item.key()));
        }
    }
    s.RconClientTimeoutSeconds = ReadClientTimeout(doc);

    if (s.Debug) {
        WriteDump(s);
    }
}

}  // namespace quorvane
