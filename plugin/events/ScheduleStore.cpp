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
#include "platform/Platform.h"

namespace quorvane {
namespace {

using nlohmann::json;

// The whole file; empty when there is none.
std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// {"next":"2026-12-08T23:51:53Z","event":"meteor","coordinate":[1,2,3],"warned":false}
json EntryOf(const KeptEvent& kept) {
    json entry = {{"next", UtcText(kept.Next)}};
    if (kept.EventId && kept.Coordinate) {
        const auto& c = *kept.Coordinate;
        entry["event"] = *kept.EventId;
        entry["coordinate"] = {ShortestFloatValue(c.X), ShortestFloatValue(c.Y),
                               ShortestFloatValue(c.Z)};
    }
    entry["warned"] = kept.Warned;
    return entry;
}

}  // namespace

std::optional<KeptEvent> KeptOf(const std::string& text, const std::string& server) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& e) {
        throw std::runtime_error(ReasonOf(e.what()));
    }
    if (!document.is_object()) {
        throw std::runtime_error("not a JSON object");
    }
    const auto found = document.find(server);
    if (found == document.end()) {
        return std::nullopt;
    }
    const json& entry = *found;
    const auto broken = [&](const std::string& why) {
        return std::runtime_error("the entry of " + server + " has " + why);
    };
    const auto next = entry.is_object() && entry.contains("next") && entry["next"].is_string()
                          ? ParseUtcText(entry["next"].get<std::string>())
                          : std::nullopt;
    if (!next) {
        throw broken("no \"next\" time such as \"2026-12-08T23:51:53Z\"");
    }
    KeptEvent kept{*next, {}, {}, entry.value("warned", false)};
    if (entry.contains("event")) {
        const auto& c = entry.value("coordinate", json());
        const auto isFloat = [](const json& value) {
            return value.is_number() && std::abs(value.get<double>()) <= FLT_MAX;
        };
        if (!entry["event"].is_string() || !c.is_array() || c.size() != 3 ||
            !std::all_of(c.begin(), c.end(), isFloat)) {
            throw broken("an \"event\" without its \"coordinate\" [X, Y, Z]");
        }
        kept.EventId = entry["event"].get<std::string>();
        kept.Coordinate = WorldCoordinate{c[0].get<float>(), c[1].get<float>(), c[2].get<float>()};
    }
    return kept;
}

ScheduleStore::ScheduleStore(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<KeptEvent> ScheduleStore::Load(const std::string& server) {
    std::error_code error;
    if (!std::filesystem::exists(file_, error)) {
        return std::nullopt;
    }
    try {
        return KeptOf(ReadText(file_), server);
    } catch (const std::exception& e) {
        PluginLog()->warn("The kept schedule {} cannot be read ({}): the chain starts as usual",
                          file_.string(), e.what());
        return std::nullopt;
    }
}

void ScheduleStore::Save(const std::string& server, const KeptEvent& kept) {
    thread_.Append(json{{"server", server}, {"entry", EntryOf(kept)}}.dump());
}

void ScheduleStore::Write(const std::vector<std::string>& changes) {
    try {
        // Another server's keys stay; a file that is no JSON object was warned of when read.
        json document = json::parse(ReadText(file_), nullptr, false);
        if (!document.is_object()) {
            document = json::object();
        }
        for (const auto& text : changes) {
            const auto change = json::parse(text);
            document[change["server"].get<std::string>()] = change["entry"];
        }
        platform::WriteFileAtomically(file_, document.dump(2) + "\n");
        failing_ = false;
    } catch (const std::exception& e) {
        if (!std::exchange(failing_, true)) {
            PluginLog()->warn("The kept schedule {} cannot be written ({}); events go on",
                              file_.string(), e.what());
        }
    }
}

}  // namespace quorvane
