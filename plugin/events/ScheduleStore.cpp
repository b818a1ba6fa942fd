#include "events/ScheduleStore.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

#include <nlohmann/json.hpp>

#include "base/PluginLog.h"
#include "base/Text.h"
#include "config/ConfigParser.h"
#include "history/EventRecord.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

using nlohmann::json;

// Another server holds the lock only while it reads and writes a small file.
constexpr std::chrono::seconds kLockWait{5};

// The whole file; empty when there is none.
std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What `kept` makes of its server's entry, as a merge patch: what it does not have is removed,
// what it does not know of stays.
// {"next":"2026-12-08T23:51:53Z","event":"meteor","coordinate":[1,2,3],"warned":false}
json PatchOf(const KeptSchedule& kept) {
    const KeptEvent& next = kept.Next;
    json patch = {{"next", UtcText(next.Next)}, {"event", nullptr},   {"coordinate", nullptr},
                  {"warned", next.Warned},      {"skipped", nullptr}, {"skippedAt", nullptr}};
    if (next.EventId && next.Coordinate) {
        const auto& c = *next.Coordinate;
        patch["event"] = *next.EventId;
        patch["coordinate"] = {ShortestFloatValue(c.X), ShortestFloatValue(c.Y),
                               ShortestFloatValue(c.Z)};
    }
    if (next.Skipped) {
        patch["skipped"] = *next.Skipped;
    }
    for (const auto& skip : kept.FixedSkips) {
        patch["skippedAt"].push_back(
            {{"event", skip.EventId}, {"at", UtcText(skip.At)}, {"reason", skip.Reason}});
    }
    return patch;
}

std::optional<std::chrono::system_clock::time_point> TimeIn(const json& entry, const char* key) {
    return entry.is_object() && entry.contains(key) && entry[key].is_string()
               ? ParseUtcText(entry[key].get<std::string>())
               : std::nullopt;
}

std::string TextIn(const json& entry, const char* key) {
    const auto found = entry.find(key);
    return found != entry.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// `server`'s entry in `document`, an object; none when it has none. Throws std::runtime_error
// when the entry cannot be read.
std::optional<KeptSchedule> KeptIn(const json& document, const std::string& server) {
    const auto found = document.find(server);
    if (found == document.end()) {
        return std::nullopt;
    }
    const json& entry = *found;
    const auto broken = [&](const std::string& why) {
        return std::runtime_error("the entry of " + server + " has " + why);
    };
    const auto next = TimeIn(entry, "next");
    if (!next && !entry.contains("next")) {
        return std::nullopt;  // only running events kept, without KeepScheduleAcrossRestarts
    }
    if (!next) {
        throw broken("no \"next\" time such as \"2026-12-08T23:51:53Z\"");
    }
    KeptSchedule kept{{*next, {}, {}, entry.value("warned", false), {}}, {}};
    if (entry.contains("event")) {
        const auto& c = entry.value("coordinate", json());
        const auto isFloat = [](const json& value) {
            return value.is_number() && std::abs(value.get<double>()) <= FLT_MAX;
        };
        if (!entry["event"].is_string() || !c.is_array() || c.size() != 3 ||
            !std::all_of(c.begin(), c.end(), isFloat)) {
            throw broken("an \"event\" without its \"coordinate\" [X, Y, Z]");
        }
        kept.Next.EventId = entry["event"].get<std::string>();
        kept.Next.Coordinate =
            WorldCoordinate{c[0].get<float>(), c[1].get<float>(), c[2].get<float>()};
    }
    if (const auto skipped = TextIn(entry, "skipped"); !skipped.empty()) {
        kept.Next.Skipped = skipped;
    }
    for (const auto& skip : entry.value("skippedAt", json::array())) {
        const auto at = TimeIn(skip, "at");
        if (!at || TextIn(skip, "event").empty()) {
            throw broken("a \"skippedAt\" without its \"event\" and \"at\" time");
        }
        kept.FixedSkips.push_back({TextIn(skip, "event"), *at, TextIn(skip, "reason")});
    }
    return kept;
}

json RunningPatch(const std::vector<KeptEnd>& ends) {
    if (ends.empty()) {
        return {{"running", nullptr}};
    }
    json list = json::array();
    for (const auto& end : ends) {
        const auto& c = end.Coordinate;
        list.push_back(
            {{"event", end.EventId},
             {"label", end.Eventlabel},
             {"coordinate",
              {ShortestFloatValue(c.X), ShortestFloatValue(c.Y), ShortestFloatValue(c.Z)}},
             {"started", UtcText(end.Started)},
             {"ends", UtcText(end.Ends)},
             {"endCommand", end.EndCommand}});
    }
    return {{"running", list}};
}

}  // namespace

ScheduleStore::ScheduleStore(std::filesystem::path file)
    : file_(std::move(file)), lock_(std::filesystem::path(file_) += ".lock") {}

std::optional<json> ScheduleStore::ReadLocked(const char* then) {
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) {
        return json::object();
    }
    std::string why = "not a JSON object";
    try {
        auto document = json::parse(ReadText(file_));
        if (document.is_object()) {
            return document;
        }
    } catch (const json::exception& e) {
        why = ReasonOf(e.what());
    }
    // Kept for an admin, never replaced without the other servers' entries.
    auto aside = file_;
    aside += ".broken";
    std::filesystem::rename(file_, aside, error);
    if (error) {
        PluginLog()->warn(
            "The kept schedule {} cannot be read ({}), nor set aside ({}): it is "
            "left as it is",
            file_.string(), why, error.message());
        return std::nullopt;
    }
    PluginLog()->warn("The kept schedule {} cannot be read ({}): it is set aside as {}, and {}",
                      file_.string(), why, aside.string(), then);
    return json::object();
}

std::optional<KeptSchedule> ScheduleStore::Load(const std::string& server) {
    try {
        const platform::FileLock lock(lock_, kLockWait);
        const auto document = ReadLocked("the chain starts as usual");
        return document ? KeptIn(*document, server) : std::nullopt;
    } catch (const std::exception& e) {
        PluginLog()->warn("The kept schedule {} cannot be read ({}): the chain starts as usual",
                          file_.string(), e.what());
        return std::nullopt;
    }
}

void ScheduleStore::Save(const std::string& server, const KeptSchedule& kept) {
    thread_.Append(json{{"server", server}, {"patch", PatchOf(kept)}}.dump());
}

std::vector<KeptEnd> ScheduleStore::LoadRunning(const std::string& server) {
    std::vector<KeptEnd> kept;
    // Without a file nothing is made, not even the lock: as before events could end.
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) {
        return kept;
    }
    try {
        const platform::FileLock lock(lock_, kLockWait);
        // Left where it is: with KeepScheduleAcrossRestarts, Load sets it aside.
        const auto document = json::parse(ReadText(file_));
        if (!document.is_object() || !document.contains(server) || !document[server].is_object()) {
            return kept;
        }
        for (const auto& item : document[server].value("running", json::array())) {
            const auto started = TimeIn(item, "started");
            const auto ends = TimeIn(item, "ends");
            const auto c = item.is_object() ? item.value("coordinate", json()) : json();
            const bool coordinate =
                c.is_array() && c.size() == 3 && std::all_of(c.begin(), c.end(), [](const json& v) {
                    return v.is_number() && std::abs(v.get<double>()) <= FLT_MAX;
                });
            if (!started || !ends || TextIn(item, "event").empty() || !coordinate) {
                PluginLog()->warn(
                    "A running event of {} kept in {} cannot be read (it needs \"event\", "
                    "\"coordinate\", \"started\" and \"ends\"): it is left out",
                    server, file_.string());
                continue;
            }
            kept.push_back(
                {TextIn(item, "event"), TextIn(item, "label"),
                 WorldCoordinate{c[0].get<float>(), c[1].get<float>(), c[2].get<float>()}, *started,
                 *ends, TextIn(item, "endCommand")});
        }
    } catch (const std::exception& e) {
        PluginLog()->warn("The kept schedule {} cannot be read ({}): no running event is resumed",
                          file_.string(), ReasonOf(e.what()));
    }
    return kept;
}

void ScheduleStore::SaveRunning(const std::string& server, const std::vector<KeptEnd>& ends) {
    thread_.Append(json{{"server", server}, {"patch", RunningPatch(ends)}}.dump());
}

void ScheduleStore::Write(const std::vector<std::string>& changes) {
    try {
        // Read, changed and written under the lock: no other server's change is lost between.
        const platform::FileLock lock(lock_, kLockWait);
        auto document = ReadLocked("it is written anew");
        if (!document) {
            return;
        }
        for (const auto& text : changes) {
            const auto change = json::parse(text);
            auto& entry = (*document)[change["server"].get<std::string>()];
            if (!entry.is_object()) {
                entry = json::object();
            }
            entry.merge_patch(change["patch"]);
        }
        platform::WriteFileAtomically(file_, document->dump(2) + "\n");
        failing_ = false;
    } catch (const std::exception& e) {
        if (!std::exchange(failing_, true)) {
            PluginLog()->warn("The kept schedule {} cannot be written ({}); events go on",
                              file_.string(), e.what());
        }
    }
}

}  // namespace quorvane
