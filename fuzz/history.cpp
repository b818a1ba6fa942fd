// The event history as quorvane-config reads it: lines of events.jsonl, any bytes. Never a
// crash; every non-empty line is a record or counted as none; the counts add up; and a record
// read back and written again reads back the same, its coordinate and position included.
// Input: the file's bytes.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Check.h"
#include "history/EventRecord.h"

namespace {

using fuzzing::Require;

bool SamePlace(const quorvane::EventRecord& a, const quorvane::EventRecord& b) {
    const auto& p = a.Position;
    const auto& q = b.Position;
    const auto& c = a.Coordinate;
    const auto& d = b.Coordinate;
    return p.has_value() == q.has_value() && (!p || (p->Lat == q->Lat && p->Lon == q->Lon)) &&
           c.has_value() == d.has_value() && (!c || (c->X == d->X && c->Y == d->Y && c->Z == d->Z));
}

bool Same(const quorvane::EventRecord& a, const quorvane::EventRecord& b) {
    return SamePlace(a, b) && a.Time == b.Time && a.Server == b.Server && a.Trigger == b.Trigger &&
           a.Outcome == b.Outcome && a.Reason == b.Reason && a.SkipKind == b.SkipKind &&
           a.EventId == b.EventId && a.Eventlabel == b.Eventlabel &&
           // A skipped event reached no server and no webhook, so none is written.
           (a.Outcome == "skipped" || (a.Rcon == b.Rcon && a.Discord == b.Discord));
}

bool IsUtf8Clean(const quorvane::EventRecord& r) {
    // Text that is no UTF-8 is replaced when written, so it cannot come back the same.
    const auto valid = [](const std::string& text) {
        return nlohmann::json(text)
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                   .find("\xEF\xBF\xBD") == std::string::npos;
    };
    for (const auto& [key, value] : r.Rcon) {
        if (!valid(key) || !valid(value)) {
            return false;
        }
    }
    return valid(r.Server) && valid(r.Trigger) && valid(r.Outcome) && valid(r.Reason) &&
           valid(r.SkipKind) && valid(r.EventId.value_or("")) && valid(r.Eventlabel.value_or("")) &&
           valid(r.Discord.value_or(""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> lines;
    std::size_t records = 0;
    std::size_t nonEmpty = 0;
    for (std::string line; std::getline(in, line);) {
        nonEmpty += line.empty() ? 0 : 1;
        if (const auto record = quorvane::FromJsonLine(line)) {
            ++records;
            quorvane::Describe(*record);
            if (IsUtf8Clean(*record)) {
                const auto again = quorvane::FromJsonLine(quorvane::ToJsonLine(*record));
                Require(again && Same(*record, *again), "a record does not read back the same");
            }
        }
        lines.push_back(std::move(line));
    }
    const auto summary = quorvane::Summarize(lines);
    Require(summary.Due == records, "a record not counted");
    Require(summary.Due + summary.Unreadable == nonEmpty, "a line neither record nor unreadable");
    Require(summary.Started + summary.NotStarted + summary.Skipped == summary.Due,
            "outcomes do not add up");
    std::size_t started = 0;
    for (const auto& event : summary.Events) {
        started += event.Started;
        Require(event.Share > 0 && event.Share <= 1, "a share outside (0, 1]");
    }
    Require(started == summary.Started, "events do not add up to the started ones");
    return 0;
}
