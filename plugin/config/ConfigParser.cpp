#include "config/ConfigParser.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <locale>
#include <sstream>
#include <type_traits>

#include "base/Text.h"
#include "config/ActiveHours.h"
#include "config/DiscordValues.h"
#include "platform/TimeZone.h"

namespace quorvane {
namespace {

using nlohmann::json;

// A failure while reading, with the pointer of the value it concerns.
struct Failure {
    std::string pointer;
    std::string message;
    std::string reason;  // empty: the message's own
};

std::string Escaped(const std::string& key) {
    std::string out;
    for (const char c : key) {
        out += c == '~' ? "~0" : c == '/' ? "~1" : std::string(1, c);
    }
    return out;
}

// A value of the document and its JSON pointer. Members are reached through the library's
// non-const access on purpose: a missing member reads as null, so its conversion fails with
// the library's own message ("type must be string, but is null").
class Node {
  public:
    Node(json& value, std::string pointer) : value_(value), pointer_(std::move(pointer)) {}

    Node operator[](const std::string& key) const {
        try {
            return Node(value_[key], pointer_ + "/" + Escaped(key));
        } catch (const json::exception& e) {
            throw Failure{pointer_, e.what(), {}};
        }
    }

    template <typename T>
    T As() const {
        if constexpr (std::is_same_v<T, std::int32_t>) {
            RequireInt32Range();
        }
        try {
            return value_.get<T>();
        } catch (const json::exception& e) {
            throw Failure{pointer_, e.what(), {}};
        }
    }

    template <typename T>
    T Value(const std::string& key, T fallback) const {
        try {
            return value_.value(key, fallback);
        } catch (const json::exception& e) {
            const bool member = value_.is_object() && value_.contains(key);
            throw Failure{member ? pointer_ + "/" + Escaped(key) : pointer_, e.what(), {}};
        }
    }

    // The member `key` when it is there and not null.
    std::optional<Node> Member(const std::string& key) const {
        if (!value_.is_object()) {
            return std::nullopt;
        }
        const auto found = value_.find(key);
        if (found == value_.end() || found->is_null()) {
            return std::nullopt;
        }
        return Node(*found, pointer_ + "/" + Escaped(key));
    }

    // Each item as the library iterates it: an object's members, an array's elements, nothing
    // for null, and any other value itself once.
    template <typename Visit>
    void ForEachItem(Visit visit) const {
        for (auto& item : value_.items()) {
            const bool named = value_.is_object() || value_.is_array();
            visit(item.key(),
                  Node(item.value(), named ? pointer_ + "/" + Escaped(item.key()) : pointer_));
        }
    }

    json& Json() const { return value_; }
    const std::string& Pointer() const { return pointer_; }

  private:
    // The library would keep an integer's low 32 bits and cast a float beyond the range
    // (undefined): a setting is taken exactly, or not at all.
    void RequireInt32Range() const {
        bool inRange = true;
        if (value_.is_number_unsigned()) {
            inRange = value_.get<std::uint64_t>() <= std::uint64_t{INT32_MAX};
        } else if (value_.is_number_integer()) {
            const auto value = value_.get<std::int64_t>();
            inRange = value >= INT32_MIN && value <= INT32_MAX;
        } else if (value_.is_number_float()) {
            const double value = value_.get<double>();
            inRange = value > -2147483649.0 && value < 2147483648.0;
        }
        if (!inRange) {
            throw Failure{
                pointer_,
                "type must be number in the range of a 32-bit integer, but is " + value_.dump(),
                {}};
        }
    }

    json& value_;
    std::string pointer_;
};

class Parser {
  public:
    Parser(ParsedConfig& out, const std::filesystem::path& zoneFolder)
        : out_(out), s_(out.settings), zoneFolder_(zoneFolder) {}

    void Run(json& document, const std::function<std::string()>& serverKey) {
        const Node doc(document, "");
        s_.Debug = doc.Value("Debug", false);
        s_.ServerKey = serverKey();
        Info("Server Key: " + s_.ServerKey);

        const auto own = document.is_object() ? document.find(s_.ServerKey) : document.end();
        const bool missing = own == document.end() || own->is_null();
        if (missing) {
            Note(ConfigNote::Level::Error, "Server Key not found in config");
        }
        try {
            ReadOwnSection(doc, doc[s_.ServerKey]);
        } catch (const Failure& failure) {
            if (missing) {
                throw Failure{"/" + Escaped(s_.ServerKey), failure.message,
                              "no section for this server's key \"" + s_.ServerKey + "\""};
            }
            throw;
        }
        std::vector<RconTarget> targets;
        doc.ForEachItem([&](const std::string& key, const Node& item) {
            if (item.Json().is_object()) {
                targets.push_back(ReadRconTarget(item["RconSettings"], key));
            }
        });
        s_.RconInfos = std::move(targets);
        s_.RconClientTimeoutSeconds = ReadClientTimeout(doc);
        ReadSchedule(doc);
        ReadPlayerSettings(doc);
        WarnOfOwnSettings();
        if (s_.Debug) {
            WriteDump();
        }
    }

  private:
    void ReadOwnSection(const Node& doc, const Node& section) {
        s_.Serverlabel = section["Serverlabel"].As<std::string>();
        Info("Server Label: " + s_.Serverlabel);

        s_.DiscordWebhook = doc["DiscordWebhook"].As<std::string>();
        s_.DiscordBroadcastMessage = doc["DiscordBroadcastMessage"].As<std::string>();
        s_.RconClient = ReadRconClient(doc, section);
        if (s_.RconClient == RconClientKind::External) {
            s_.MCRconPath = doc["MCRconPath"].As<std::string>();
        }
        s_.DiscordBroadcastHeader = doc["DiscordBroadcastHeader"].As<std::string>();
        s_.DiscordWebhookColor = doc["DiscordWebhookColor"].As<std::string>();
        s_.DiscordKeepUnicode = doc.Value("DiscordKeepUnicode", false);
        ReadDiscordParts(doc);
        s_.ServerEventsCommand = doc["ServerEventsCommand"].As<std::string>();
        s_.RconSettings = ReadRconTarget(section["RconSettings"], s_.ServerKey);
        s_.BroadcastStartEventMessage = doc["BroadcastStartEventMessage"].As<std::string>();

        const Node boot = section["StartEventOnBootSettings"];
        s_.MinimumTimeToWait = boot["MinimumTimeToWait"].As<std::int32_t>();
        s_.MaximumTimeToWait = boot["MaximumTimeToWait"].As<std::int32_t>();
        const Node between = section["TimeBetweenEvents"];
        s_.MinimumTimeToNextEvent = between["MinimumTimeToNextEvent"].As<std::int32_t>();
        s_.MaximumTimeToNextEvent = between["MaximumTimeToNextEvent"].As<std::int32_t>();
        WarnIfReversed("MinimumTimeToWait", s_.MinimumTimeToWait, "MaximumTimeToWait",
                       s_.MaximumTimeToWait);
        WarnIfReversed("MinimumTimeToNextEvent", s_.MinimumTimeToNextEvent,
                       "MaximumTimeToNextEvent", s_.MaximumTimeToNextEvent);

        section["RandomEvents"].ForEachItem([&](const std::string& id, const Node& event) {
            s_.RandomEvents.push_back(ReadEvent(id, event));
        });
        ReadControls(section);
    }

    // The optional controls of the draws and of when events run; a value out of its range is
    // reported and the default used.
    void ReadControls(const Node& section) {
        s_.AvoidRepeats = Ranged(section, "AvoidRepeats", 0, 100, 0);
        s_.MinimumPlayersOnline = Ranged(section, "MinimumPlayersOnline", 0, INT32_MAX, 0);
        if (const auto hours = section.Member("ActiveHours")) {
            const auto text = hours->As<std::string>();
            s_.ActiveHours = ParseActiveHours(text);
            if (!s_.ActiveHours) {
                Warn("ActiveHours (" + text +
                     ") cannot be read as HH:MM-HH:MM (00:00 to 24:00): events start at any hour");
            }
        }
    }

    std::int32_t Ranged(const Node& parent, const std::string& key, std::int32_t lowest,
                        std::int32_t highest, std::int32_t fallback, const std::string& name = {}) {
        const auto member = parent.Member(key);
        if (!member) {
            return fallback;
        }
        const auto value = member->As<std::int32_t>();
        if (value < lowest || value > highest) {
            Warn((name.empty() ? key : name) + " (" + std::to_string(value) + ") is not " +
                 (highest == INT32_MAX
                      ? "0 or more"
                      : "from " + std::to_string(lowest) + " to " + std::to_string(highest)) +
                 "; " + std::to_string(fallback) + " is used");
            return fallback;
        }
        return value;
    }

    // The section's choice, else the top level's; an unknown one is reported.
    RconClientKind ReadRconClient(const Node& doc, const Node& section) {
        const auto own = section.Member("RconClient");
        const auto member = own ? own : doc.Member("RconClient");
        if (!member) {
            return RconClientKind::External;
        }
        const auto text = member->As<std::string>();
        if (text == "builtin") {
            return RconClientKind::Builtin;
        }
        if (text != "external") {
            Warn("RconClient (" + text +
                 R"() is neither "external" nor "builtin"; "external" is used)");
        }
        return RconClientKind::External;
    }

    static RconTarget ReadRconTarget(const Node& rcon, const std::string& serverKey) {
        RconTarget target;
        target.ServerKey = serverKey;
        target.RconIP = rcon["RconIP"].As<std::string>();
        target.RconPort = rcon["RconPort"].As<std::int32_t>();
        target.RconPassword = rcon["RconPassword"].As<std::string>();
        return target;
    }

    // Up to three whitespace-separated floats in the classic locale; a fourth number and
    // anything after it are ignored.
    static std::optional<WorldCoordinate> ParseCoordinate(const std::string& text) {
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

    RandomEvent ReadEvent(const std::string& id, const Node& event) {
        RandomEvent out;
        out.EventId = id;
        out.Eventlabel = event["Eventlabel"].As<std::string>();
        event["RandomCCCs"].ForEachItem([&](const std::string&, const Node& item) {
            const auto text = item.As<std::string>();
            if (auto coordinate = ParseCoordinate(text)) {
                out.RandomCCCs.push_back(*coordinate);
            } else {
                Warn("Invalid coordinate string (less than 3 numbers): " + text);
            }
        });
        out.Weight = Ranged(event, "Weight", 0, 1000, 1, "Weight of event " + id);
        out.DurationMinutes =
            Ranged(event, "DurationMinutes", 1, 1440, 0, "DurationMinutes of event " + id);
        out.EndCommand = event.Value("EndCommand", std::string());
        out.DiscordImageUrl = DiscordText(event, "DiscordImageUrl", &WebAddressProblem);
        if (const auto at = event.Member("At")) {
            at->ForEachItem([&](const std::string&, const Node& item) {
                const auto text = item.As<std::string>();
                if (auto time = ParseFixedTime(text)) {
                    out.At.push_back(std::move(*time));
                } else {
                    Warn(item.Pointer() + ": At (" + text +
                         ") cannot be read as HH:MM or Ddd HH:MM (Mon to Sun): it is left out");
                }
            });
        }
        return out;
    }

    // When events start, beyond the waits: countdown warnings, the time zone of the calendar
    // times, and whether the next event is kept across restarts. Each optional.
    void ReadSchedule(const Node& doc) {
        auto& warnings = s_.EventWarningMinutes;
        if (const auto minutes = doc.Member("EventWarningMinutes")) {
            minutes->ForEachItem([&](const std::string&, const Node& item) {
                const auto value = item.As<std::int32_t>();
                if (value < 1 || value > 1440) {
                    Warn("EventWarningMinutes (" + std::to_string(value) +
                         ") is not from 1 to 1440: it is left out");
                } else if (std::find(warnings.begin(), warnings.end(), value) == warnings.end()) {
                    warnings.push_back(value);
                }
            });
            std::sort(warnings.rbegin(), warnings.rend());
        }
        s_.BroadcastEventWarningMessage = doc.Value("BroadcastEventWarningMessage", std::string());
        s_.DiscordEventWarningMessage = doc.Value("DiscordEventWarningMessage", std::string());
        s_.BroadcastEndEventMessage = doc.Value("BroadcastEndEventMessage", std::string());
        s_.DiscordEndEventMessage = doc.Value("DiscordEndEventMessage", std::string());
        s_.KeepScheduleAcrossRestarts = doc.Value("KeepScheduleAcrossRestarts", false);
        if (const auto zone = doc.Member("TimeZone")) {
            try {
                s_.TimeZone = platform::FindZone(zone->As<std::string>(), zoneFolder_);
            } catch (const std::runtime_error& e) {
                throw Failure{zone->Pointer(), e.what(), {}};
            }
        }
    }

    // What players see and ask, each optional: how announcements reach them, how they are
    // shown, and the chat command. A wrong type fails as any setting; a value out of its range
    // is reported and the default used.
    void ReadPlayerSettings(const Node& doc) {
        if (const auto way = doc.Member("PlayerAnnouncements")) {
            const auto text = way->As<std::string>();
            if (text == "quorvane") {
                s_.PlayerAnnouncements = AnnouncementWay::Quorvane;
            } else if (text != "console") {
                Warn("PlayerAnnouncements (" + text +
                     R"() is neither "console" nor "quorvane"; "console" is used)");
            }
        }
        if (const auto sender = doc.Member("AnnouncementSender")) {
            s_.AnnouncementSender = sender->As<std::string>();
        }
        s_.NotificationSeconds = Bounded(doc, "NotificationSeconds", 600, s_.NotificationSeconds);
        s_.NotificationScale = Bounded(doc, "NotificationScale", 10, s_.NotificationScale);
        if (const auto colour = doc.Member("NotificationColor")) {
            const auto text = colour->As<std::string>();
            if (const auto rgb = HexColour(text)) {
                s_.NotificationColor = *rgb;
            } else {
                Warn("NotificationColor (" + text + R"() is not "#RRGGBB"; white is used)");
            }
        }
        if (const auto command = doc.Member("PlayerCommand")) {
            const auto text = command->As<std::string>();
            if (std::any_of(text.begin(), text.end(),
                            [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
                Warn("PlayerCommand (" + text +
                     ") is not one word: players type a command as one; there is none");
            } else {
                s_.PlayerCommand = text;
            }
        }
    }

    // A number above 0 and at most `highest`; else reported, and `fallback` used.
    double Bounded(const Node& doc, const std::string& key, double highest, double fallback) {
        const auto member = doc.Member(key);
        if (!member) {
            return fallback;
        }
        const double value = member->As<double>();
        if (!(value > 0 && value <= highest)) {
            Warn(key + " (" + FormatG(value) + ") is not above 0 and at most " + FormatG(highest) +
                 "; " + FormatG(fallback) + " is used");
            return fallback;
        }
        return value;
    }

    static std::optional<std::uint32_t> HexColour(const std::string& text) {
        if (text.size() != 7 || text[0] != '#' ||
            text.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
            return std::nullopt;
        }
        return static_cast<std::uint32_t>(std::stoul(text.substr(1), nullptr, 16));
    }

    using Problem = std::optional<std::string> (*)(const std::string&);

    // The optional parts of every Discord post. A value Discord would refuse is reported with
    // its pointer and left out; none of them makes the plugin inactive.
    void ReadDiscordParts(const Node& doc) {
        if (const auto roles = doc.Member("DiscordMentionRoleIds")) {
            ReadRoleIds(*roles);
        }
        s_.DiscordUsername = DiscordText(doc, "DiscordUsername", &WebhookNameProblem);
        s_.DiscordAvatarUrl = DiscordText(doc, "DiscordAvatarUrl", &WebAddressProblem);
        s_.DiscordThreadId = DiscordText(doc, "DiscordThreadId", &SnowflakeProblem);
        if (const auto stamp = doc.Member("DiscordTimestamp")) {
            if (stamp->Json().is_boolean()) {
                s_.DiscordTimestamp = stamp->Json().get<bool>();
            } else {
                LeftOut(*stamp, "is not true or false");
            }
        }
        if (const auto verified = doc.Member("DiscordVerifiedTransport")) {
            if (verified->Json().is_boolean()) {
                s_.DiscordVerifiedTransport = verified->Json().get<bool>();
            } else {
                LeftOut(*verified, "is not true or false");
            }
        }
    }

    void ReadRoleIds(const Node& roles) {
        if (!roles.Json().is_array()) {
            LeftOut(roles, "is not a list of role ids");
            return;
        }
        auto& ids = s_.DiscordMentionRoleIds;
        roles.ForEachItem([&](const std::string&, const Node& id) {
            if (auto text = Checked(id, &SnowflakeProblem); !text.empty()) {
                ids.push_back(std::move(text));
            }
        });
        if (ids.size() > kDiscordMostRoleMentions) {
            const std::string most = std::to_string(kDiscordMostRoleMentions);
            Warn(roles.Pointer() + ": " + std::to_string(ids.size()) + " role ids, more than " +
                 most + "; those after the " + most + "th are left out");
            ids.resize(kDiscordMostRoleMentions);
        }
    }

    // An empty text is no value, as an empty DiscordWebhook is none.
    std::string DiscordText(const Node& parent, const std::string& key, Problem problem) {
        const auto member = parent.Member(key);
        if (!member || member->Json() == "") {
            return {};
        }
        return Checked(*member, problem);
    }

    std::string Checked(const Node& value, Problem problem) {
        if (!value.Json().is_string()) {
            LeftOut(value, "is not a string");
            return {};
        }
        auto text = value.Json().get<std::string>();
        if (const auto why = problem(text)) {
            LeftOut(value, *why);
            return {};
        }
        return text;
    }

    void LeftOut(const Node& value, const std::string& why) {
        Warn(value.Pointer() + ": " +
             value.Json().dump(-1, ' ', false, json::error_handler_t::replace) + " " + why +
             "; it is left out");
    }

    // The values are kept; the event engine swaps such a pair when it draws.
    void WarnIfReversed(const char* minimumName, std::int32_t minimum, const char* maximumName,
                        std::int32_t maximum) {
        if (minimum > maximum) {
            Warn(std::string(minimumName) + " (" + std::to_string(minimum) + ") is greater than " +
                 maximumName + " (" + std::to_string(maximum) +
                 "); the two are swapped when drawn");
        }
    }

    // Optional, in seconds; a wrong type fails like any other setting, a number out of range
    // is reported and the default used.
    double ReadClientTimeout(const Node& doc) {
        constexpr double kDefault = 10;
        constexpr double kLongest = 3600;
        const double seconds = doc.Value("RconClientTimeoutSeconds", kDefault);
        if (!(seconds > 0 && seconds <= kLongest)) {
            Warn("RconClientTimeoutSeconds (" + FormatG(seconds) + ") is not above 0 and at most " +
                 FormatG(kLongest) + "; " + FormatG(kDefault) + " is used");
            return kDefault;
        }
        return seconds;
    }

    // What the running plugin would otherwise do silently, to this server.
    void WarnOfOwnSettings() {
        for (const auto& [name, minutes] :
             {std::pair{"MinimumTimeToNextEvent", s_.MinimumTimeToNextEvent},
              std::pair{"MaximumTimeToNextEvent", s_.MaximumTimeToNextEvent}}) {
            if (minutes <= 0) {
                Warn(std::string(name) + " (" + std::to_string(minutes) +
                     ") is not above 0: events may start at every timer tick");
                break;
            }
        }
        for (const auto& event : s_.RandomEvents) {
            if (event.RandomCCCs.empty()) {
                Warn("Event " + event.EventId + " (" + event.Eventlabel +
                     ") has no coordinates: it never starts");
            }
            if (event.Weight == 0 && event.At.empty()) {
                Warn("Event " + event.EventId + " (" + event.Eventlabel +
                     ") has Weight 0 and no At: it never starts");
            }
            if (!event.EndCommand.empty() && event.DurationMinutes == 0) {
                Warn("Event " + event.EventId + " (" + event.Eventlabel +
                     ") has an EndCommand without DurationMinutes: it never ends");
            }
        }
        const auto events = static_cast<std::int32_t>(s_.RandomEvents.size());
        if (s_.AvoidRepeats > 0 && s_.AvoidRepeats >= events) {
            Warn("AvoidRepeats (" + std::to_string(s_.AvoidRepeats) +
                 ") is not below the number of events (" + std::to_string(events) +
                 "): once every event has run within that many, repeats cannot be avoided");
        }
        if (!s_.EventWarningMinutes.empty() && s_.BroadcastEventWarningMessage.empty() &&
            s_.DiscordEventWarningMessage.empty()) {
            Warn(
                "EventWarningMinutes is set without BroadcastEventWarningMessage or "
                "DiscordEventWarningMessage: no warning is sent");
        }
        if (!s_.DiscordWebhook.empty() && !IsDiscordColour(s_.DiscordWebhookColor)) {
            Warn("DiscordWebhookColor (" + s_.DiscordWebhookColor +
                 ") is not a decimal number from 0 to 16777215: Discord refuses such posts, "
                 "or none is made when it is empty");
        }
    }

    static bool IsDiscordColour(const std::string& text) {
        if (text.empty() || text.size() > 8 ||
            text.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        return std::stol(text) <= 16777215;
    }

    void WriteDump() {
        Info("Config Loaded");
        Info("Server Key: " + s_.ServerKey);
        Info("MinimumTimeToWait: " + std::to_string(s_.MinimumTimeToWait));
        Info("MaximumTimeToWait: " + std::to_string(s_.MaximumTimeToWait));
        Info("MinimumTimeToNextEvent: " + std::to_string(s_.MinimumTimeToNextEvent));
        Info("MaximumTimeToNextEvent: " + std::to_string(s_.MaximumTimeToNextEvent));
        Info("RconInfos (" + std::to_string(s_.RconInfos.size()) + ")");
        for (const auto& rcon : s_.RconInfos) {
            if (rcon.RconIP.empty() || rcon.RconPort == 0 || rcon.RconPassword.empty()) {
                Warn("Invalid RconInfo");
                continue;
            }
            Info(" - Rcon IP: " + rcon.RconIP);
            Info(" - Rcon Port: " + std::to_string(rcon.RconPort));
            // Logs end up in support chats.
            Info(" - Rcon Password: ***");
            Info("");
        }
        Info("Events (" + std::to_string(s_.RandomEvents.size()) + ")");
        for (const auto& event : s_.RandomEvents) {
            Info(" - Event Id: " + event.EventId);
            Info(" - Event Label: " + event.Eventlabel);
            Info(" - Possible Coordinates (" + std::to_string(event.RandomCCCs.size()) + ")");
            for (const auto& c : event.RandomCCCs) {
                Info("   - X: " + FormatG(c.X) + ", Y: " + FormatG(c.Y) + ", Z: " + FormatG(c.Z));
            }
            for (const auto& time : event.At) {
                Info(" - At: " + time.Text);
            }
        }
        if (!s_.EventWarningMinutes.empty()) {
            std::string minutes;
            for (const auto value : s_.EventWarningMinutes) {
                minutes += (minutes.empty() ? "" : ", ") + std::to_string(value);
            }
            Info("EventWarningMinutes: " + minutes);
        }
        if (!s_.TimeZone.Name().empty()) {
            Info("TimeZone: " + s_.TimeZone.Name() + ", from " + s_.TimeZone.Database());
        }
        if (s_.PlayerAnnouncements == AnnouncementWay::Quorvane) {
            Info("PlayerAnnouncements: quorvane");
        }
        if (!s_.PlayerCommand.empty()) {
            Info("PlayerCommand: " + s_.PlayerCommand);
        }
    }

    void Note(ConfigNote::Level level, std::string text) {
        out_.notes.push_back({level, std::move(text)});
    }
    void Info(std::string text) { Note(ConfigNote::Level::Info, std::move(text)); }
    void Warn(std::string text) { Note(ConfigNote::Level::Warning, std::move(text)); }

    ParsedConfig& out_;
    Settings& s_;
    const std::filesystem::path& zoneFolder_;
};

}  // namespace

std::filesystem::path ZoneFolderBeside(const std::filesystem::path& configFile) {
    return configFile.parent_path() / "zoneinfo";
}

ParsedConfig ParseConfig(nlohmann::json document, const std::function<std::string()>& serverKey,
                         const std::filesystem::path& zoneFolder) {
    ParsedConfig out;
    try {
        Parser(out, zoneFolder).Run(document, serverKey);
    } catch (const Failure& failure) {
        out.problem =
            ConfigProblem{failure.pointer, failure.message,
                          failure.reason.empty() ? ReasonOf(failure.message) : failure.reason};
    }
    return out;
}

std::string ReasonOf(const std::string& message) {
    if (message.starts_with("[json.exception.")) {
        if (const auto end = message.find("] "); end != std::string::npos) {
            return message.substr(end + 2);
        }
    }
    return message;
}

}  // namespace quorvane
