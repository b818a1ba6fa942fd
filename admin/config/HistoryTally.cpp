#include "HistoryTally.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <thread>

#include "History.h"

namespace quorvane::admin {
namespace {

using std::chrono::floor;
using std::chrono::seconds;

// The entry of `key`, or none when it is new and the map already holds kNames.
template <class Map>
typename Map::mapped_type* Entry(Map& map, const typename Map::key_type& key) {
    if (const auto found = map.find(key); found != map.end()) {
        return &found->second;
    }
    return map.size() < HistoryTally::kNames ? &map[key] : nullptr;
}

// A thousandth of the map's side, within what a long long holds.
long long Cell(double percent) {
    return std::llround(std::clamp(percent * 10, -1e15, 1e15));
}

void KeepEarliest(std::optional<TimePoint>& into, std::optional<TimePoint> time) {
    if (time && (!into || *time < *into)) {
        into = time;
    }
}

void KeepLatest(std::optional<TimePoint>& into, std::optional<TimePoint> time) {
    if (time && (!into || *time > *into)) {
        into = time;
    }
}

void Merge(ServerTally& into, ServerTally&& from) {
    into.Due += from.Due;
    into.Started += from.Started;
    into.NotStarted += from.NotStarted;
    into.Skipped += from.Skipped;
    into.Ended += from.Ended;
    into.Untallied += from.Untallied;
    into.Positioned += from.Positioned;
    KeepEarliest(into.First, from.First);
    KeepLatest(into.Latest, from.Latest);
    for (auto& [id, event] : from.Events) {
        if (auto* entry = Entry(into.Events, id)) {
            entry->Eventlabel = entry->Eventlabel.empty() ? event.Eventlabel : entry->Eventlabel;
            entry->Started += event.Started;
            entry->Ended += event.Ended;
            entry->RanMinutes += event.RanMinutes;
            KeepLatest(entry->Last, event.Last);
        } else {
            into.Untallied += event.Started;
        }
    }
    const auto add = [&](auto& to, auto& source) {
        for (auto& [key, count] : source) {
            if (auto* entry = Entry(to, key)) {
                *entry += count;
            } else {
                into.Untallied += count;
            }
        }
    };
    add(into.Skips, from.Skips);
    add(into.Refusals, from.Refusals);
    add(into.RunsAt, from.RunsAt);
    for (auto& [key, spot] : from.Spots) {
        if (auto* entry = Entry(into.Spots, key)) {
            entry->Runs == 0 ? void(*entry = spot) : void(entry->Runs += spot.Runs);
        }
    }
    for (std::size_t hour = 0; hour < 24; ++hour) {
        into.StartedByHour[hour] += from.StartedByHour[hour];
        into.SkippedByHour[hour] += from.SkippedByHour[hour];
    }
    into.EveryRun = into.EveryRun && from.EveryRun &&
                    into.Runs.size() + from.Runs.size() <= ServerTally::kEachRun;
    if (into.EveryRun) {
        into.Runs.insert(into.Runs.end(), std::make_move_iterator(from.Runs.begin()),
                         std::make_move_iterator(from.Runs.end()));
    } else {
        into.Runs.clear();
    }
    into.Last.insert(into.Last.end(), std::make_move_iterator(from.Last.begin()),
                     std::make_move_iterator(from.Last.end()));
    into.KeepNewest();
}

}  // namespace

void ServerTally::KeepNewest() {
    std::stable_sort(Last.begin(), Last.end(),
                     [](const EventRecord& a, const EventRecord& b) { return a.Time > b.Time; });
    if (Last.size() >= kLastRecords) {
        Last.resize(kLastRecords);
        LastCut = Last.back().Time;
    }
}

std::string Cut(std::string text, std::size_t bytes) {
    if (text.size() > bytes) {
        std::size_t end = bytes;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            --end;
        }
        text.resize(end);
    }
    return text;
}

int HistoryTally::LocalHour(TimePoint time, const TimeZone& zone) {
    const auto utc = floor<seconds>(time);
    if (utc < offset_.Begin || utc >= offset_.End) {
        offset_ = zone.At(utc);
    }
    const auto local = utc.time_since_epoch() + offset_.Offset;
    return static_cast<int>((local - floor<std::chrono::days>(local)) / std::chrono::hours(1));
}

void HistoryTally::AddLine(std::size_t file, std::size_t line, const std::string& text,
                           const TimeZone& zone) {
    if (text.empty()) {
        return;
    }
    if (Files.size() <= file) {
        Files.resize(file + 1);
    }
    ++Files[file].Lines;
    auto record = FromJsonLine(text);
    if (!record) {
        ++Files[file].Unreadable;
        ++Unreadable;
        if (BadLines.size() < kBadLines) {
            BadLines.push_back({file, line, Cut(text, kText)});
        }
        return;
    }
    Add(std::move(*record), zone);
}

void HistoryTally::Add(EventRecord r, const TimeZone& zone) {
    ++Records;
    KeepEarliest(First, r.Time);
    KeepLatest(Latest, r.Time);
    ServerTally* server = Entry(Servers, Cut(r.Server, kText));
    if (server == nullptr) {
        ++Untallied;
        return;
    }
    ServerTally& s = *server;
    KeepEarliest(s.First, r.Time);
    KeepLatest(s.Latest, r.Time);
    r.Reason = Cut(std::move(r.Reason), kText);
    const std::string id = Cut(r.EventId.value_or(""), kText);
    // An end is no due event: it counts for its event's duration.
    if (r.Outcome != "ended") {
        ++s.Due;
    }
    if (r.Outcome == "ended") {
        ++s.Ended;
        if (auto* event = Entry(s.Events, id)) {
            ++event->Ended;
            event->RanMinutes += r.RanMinutes.value_or(0);
            if (event->Eventlabel.empty()) {
                event->Eventlabel = Cut(r.Eventlabel.value_or(""), kText);
            }
        } else {
            ++s.Untallied;
        }
    } else if (r.Outcome == "skipped") {
        ++s.Skipped;
        ++s.SkippedByHour[LocalHour(r.Time, zone)];
        auto* count = Entry(s.Skips, Cut(r.SkipKind.empty() ? "other" : r.SkipKind, kText));
        count ? void(++*count) : void(++s.Untallied);
    } else if (r.Outcome == "started") {
        ++s.Started;
        ++s.StartedByHour[LocalHour(r.Time, zone)];
        if (auto* event = Entry(s.Events, id)) {
            ++event->Started;
            if (event->Eventlabel.empty()) {
                event->Eventlabel = Cut(r.Eventlabel.value_or(""), kText);
            }
            KeepLatest(event->Last, r.Time);
        } else {
            ++s.Untallied;
        }
        if (r.Coordinate) {
            const auto& c = *r.Coordinate;
            auto* count = Entry(s.RunsAt, ServerTally::CoordinateKey{id, c.X, c.Y, c.Z});
            count ? void(++*count) : void(++s.Untallied);
        }
        if (r.Position) {
            ++s.Positioned;
            const LatLon at = *r.Position;
            if (auto* spot = Entry(s.Spots, {id, Cell(at.Lat), Cell(at.Lon)})) {
                if (spot->Runs++ == 0) {
                    spot->EventId = id;
                    spot->Position = at;
                }
            }
            if (s.EveryRun && s.Runs.size() < ServerTally::kEachRun) {
                s.Runs.push_back({id, at, r.Time});
            } else {
                s.EveryRun = false;
                s.Runs.clear();
            }
        }
    } else {
        ++s.NotStarted;
        auto* count = Entry(s.Refusals, r.Reason.empty() ? r.Outcome : r.Reason);
        count ? void(++*count) : void(++s.Untallied);
    }
    // Sorted only now and then: a history comes oldest first, so nearly every record is
    // among the newest so far.
    if (!s.LastCut || r.Time > *s.LastCut) {
        r.Server = Cut(std::move(r.Server), kText);
        r.EventId = id;
        r.Eventlabel = Cut(r.Eventlabel.value_or(""), kText);
        s.Last.push_back(std::move(r));
        if (s.Last.size() >= 8 * ServerTally::kLastRecords) {
            s.KeepNewest();
        }
    }
}

void HistoryTally::Merge(HistoryTally&& other) {
    for (auto& [key, server] : other.Servers) {
        if (auto* entry = Entry(Servers, key)) {
            admin::Merge(*entry, std::move(server));
        } else {
            Untallied += server.Due;
        }
    }
    if (Files.size() < other.Files.size()) {
        Files.resize(other.Files.size());
    }
    for (std::size_t i = 0; i < other.Files.size(); ++i) {
        Files[i].Lines += other.Files[i].Lines;
        Files[i].Unreadable += other.Files[i].Unreadable;
    }
    for (auto& line : other.BadLines) {
        if (BadLines.size() < kBadLines) {
            BadLines.push_back(std::move(line));
        }
    }
    Records += other.Records;
    Unreadable += other.Unreadable;
    Untallied += other.Untallied;
    KeepEarliest(First, other.First);
    KeepLatest(Latest, other.Latest);
}

HistoryTally TallyHistories(const std::vector<std::filesystem::path>& files, const TimeZone& zone) {
    std::vector<HistoryTally> tallies(files.size());
    std::vector<std::exception_ptr> errors(files.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i; (i = next++) < files.size();) {
            try {
                ForEachLine(files[i], [&](std::size_t line, const std::string& text) {
                    tallies[i].AddLine(i, line, text, zone);
                });
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    const std::size_t workers =
        (std::min)(files.size(), std::size_t{(std::max)(1u, std::thread::hardware_concurrency())});
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < workers; ++i) {
        threads.emplace_back(work);
    }
    work();
    for (auto& thread : threads) {
        thread.join();
    }
    HistoryTally out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (errors[i]) {
            std::rethrow_exception(errors[i]);
        }
        out.Merge(std::move(tallies[i]));
    }
    return out;
}

}  // namespace quorvane::admin
