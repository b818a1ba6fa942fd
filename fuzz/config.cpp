// The plugin's reading of its cluster file: the bytes parsed as ReadConfig parses the file
// (stream extraction, comments refused), then one server's settings through ParseConfig.
// Input: the document; or a first line "#<mode><server key>" before it, where mode 'D'
// turns Debug on (the dump is among the notes). Without that line the key is "Island".

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>

#include "Check.h"
#include "DiscordRules.h"
#include "config/ConfigParser.h"
#include "config/DiscordValues.h"
#include "notify/DiscordPost.h"

namespace {

using fuzzing::Fail;
using fuzzing::Require;
using nlohmann::json;

void CheckProblem(const quorvane::ConfigProblem& problem) {
    Require(!problem.message.empty() && !problem.reason.empty(), "a problem without a reason");
    // The pointer names the value at fault in quorvane-config's output.
    try {
        Require(json::json_pointer(problem.pointer).to_string() == problem.pointer,
                "a problem's pointer does not read back");
    } catch (const json::exception&) {
        Fail("not a JSON pointer: " + fuzzing::Shown(problem.pointer));
    }
}

void CheckSettings(const json& document, const std::string& key, bool debug,
                   const quorvane::ParsedConfig& parsed) {
    const quorvane::Settings& s = parsed.settings;
    Require(s.ServerKey == key, "settings of another key");
    Require(s.Debug == debug, "Debug is not what the file says");
    const auto sections = std::count_if(document.begin(), document.end(),
                                        [](const json& value) { return value.is_object(); });
    Require(s.RconInfos.size() == static_cast<std::size_t>(sections),
            "not one RCON endpoint per server section");
    Require(std::any_of(s.RconInfos.begin(), s.RconInfos.end(),
                        [&](const auto& rcon) { return rcon.ServerKey == key; }),
            "the own server is not among the broadcast's endpoints");
    Require(s.RconClientTimeoutSeconds > 0 && s.RconClientTimeoutSeconds <= 3600,
            "an RCON client time-out out of range");
    for (const auto& event : s.RandomEvents) {
        for (const auto& c : event.RandomCCCs) {
            // A coordinate ends up in the console command.
            Require(std::isfinite(c.X) && std::isfinite(c.Y) && std::isfinite(c.Z),
                    "a coordinate that is not finite");
        }
    }
    // What the plugin takes of a post's optional parts, Discord takes: a post with them, with
    // each event's image, is accepted as our receiver accepts it.
    quorvane::Settings posting = s;
    posting.DiscordWebhook = "https://discord.example/api/webhooks/1/t";
    posting.DiscordWebhookColor = "1";
    std::vector<std::string> images{""};
    for (const auto& event : s.RandomEvents) {
        images.push_back(event.DiscordImageUrl);
    }
    for (const auto& image : images) {
        const auto post =
            quorvane::MakeDiscordPost(posting, {"m", "h", image, "2026-12-08T23:51:53Z"});
        if (!post || webhook::CheckPost({"application/json"}, post->Body).status != 204) {
            Fail("a post Discord refuses: " + fuzzing::Shown(post ? post->Body : ""));
        }
    }
    Require(s.DiscordThreadId.empty() || !quorvane::SnowflakeProblem(s.DiscordThreadId),
            "a thread id Discord refuses");
    // Warnings are armed longest first, each once, within a day.
    const auto& warnings = s.EventWarningMinutes;
    Require(std::is_sorted(warnings.rbegin(), warnings.rend()) &&
                std::adjacent_find(warnings.begin(), warnings.end()) == warnings.end() &&
                std::all_of(warnings.begin(), warnings.end(),
                            [](std::int32_t minutes) { return minutes >= 1 && minutes <= 1440; }),
            "warning minutes out of order, twice or out of range");
    const bool dumped = std::any_of(parsed.notes.begin(), parsed.notes.end(),
                                    [](const auto& note) { return note.text == "Config Loaded"; });
    Require(dumped == debug, "the dump does not follow Debug");
    for (const auto& rcon : s.RconInfos) {
        for (const auto& note : parsed.notes) {
            Require(
                rcon.RconPassword.empty() || note.text != " - Rcon Password: " + rcon.RconPassword,
                "a password in the log");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string key = "Island";
    bool forceDebug = false;
    if (!input.empty() && input.front() == '#') {
        const auto end = std::min(input.find('\n'), input.size());
        forceDebug = end > 1 && input[1] == 'D';
        key = end > 2 ? input.substr(2, end - 2) : "";
        input.erase(0, end + 1);
    }

    std::istringstream stream(input);
    json document;
    try {
        stream >> document;
    } catch (const json::exception&) {
        return 0;  // the plugin stays inactive with the library's message
    }
    if (forceDebug && document.is_object()) {
        document["Debug"] = true;
    }

    int asked = 0;
    const auto parsed = quorvane::ParseConfig(document, [&] {
        ++asked;
        return key;
    });
    Require(asked <= 1, "the server key asked more than once");
    if (parsed.problem) {
        CheckProblem(*parsed.problem);
        Require(
            asked == 1 || parsed.problem->pointer.empty() || parsed.problem->pointer == "/Debug",
            "the key not asked although Debug was read");
        return 0;
    }
    Require(asked == 1, "settings without the server key");
    CheckSettings(document, key, document.value("Debug", false), parsed);
    return 0;
}
