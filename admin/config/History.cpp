#include "History.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "base/Text.h"

namespace quorvane::admin {

std::string SkipText(const std::string& kind) {
    if (kind == "players") {
        return "fewer players online than MinimumPlayersOnline";
    }
    if (kind == "hours") {
        return "outside ActiveHours";
    }
    if (kind == "no events") {
        return "no events configured";
    }
    if (kind == "no coordinates") {
        return "the event drawn had no coordinates";
    }
    if (kind == "running") {
        return "another event was running";
    }
    if (kind == "weight 0") {
        return "every event has Weight 0 (only fixed times)";
    }
    return kind;
}

std::string SharePercent(double share) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", share * 100);
    return text;
}

void ForEachLine(const std::filesystem::path& file,
                 const std::function<void(std::size_t, const std::string&)>& visit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    std::size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        visit(++number, line);
    }
}

HistorySummary ReadHistory(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> lines;
    for (const auto& file : files) {
        ForEachLine(file, [&](std::size_t, const std::string& line) { lines.push_back(line); });
    }
    return Summarize(lines);
}

std::string ToText(const std::string& name, const HistorySummary& s) {
    std::string out = name + ": " + std::to_string(s.Due) + " due event(s)";
    if (s.First && s.LastTime) {
        out += " from " + UtcText(*s.First) + " to " + UtcText(*s.LastTime);
    }
    out += ": " + std::to_string(s.Started) + " started, " + std::to_string(s.NotStarted) +
           " not started, " + std::to_string(s.Skipped) + " skipped\n";
    for (const auto& event : s.Events) {
        out += event.EventId + " (" + event.Eventlabel + "): " + std::to_string(event.Started) +
               " started, " + SharePercent(event.Share) + ", last " + UtcText(event.Last) +
               (event.Ended > 0 ? ", " + std::to_string(event.Ended) + " ended, ran " +
                                      FormatG(event.RanMinutes / static_cast<double>(event.Ended)) +
                                      " min on average"
                                : "") +
               "\n";
    }
    for (const auto& [kind, count] : s.Skips) {
        out += "skipped " + std::to_string(count) + " time(s): " + SkipText(kind) + "\n";
    }
    if (s.Unreadable > 0) {
        out += std::to_string(s.Unreadable) + " line(s) that are no record\n";
    }
    return out;
}

nlohmann::json ToJson(const HistorySummary& s) {
    nlohmann::json out = {
        {"due", s.Due},         {"started", s.Started},       {"not_started", s.NotStarted},
        {"skipped", s.Skipped}, {"unreadable", s.Unreadable}, {"events", nlohmann::json::array()},
        {"skips", s.Skips}};
    if (s.First && s.LastTime) {
        out["from"] = UtcText(*s.First);
        out["to"] = UtcText(*s.LastTime);
    }
    if (s.Ended > 0) {
        out["ended"] = s.Ended;
    }
    for (const auto& event : s.Events) {
        out["events"].push_back({{"event", event.EventId},
                                 {"label", event.Eventlabel},
                                 {"started", event.Started},
                                 {"share", event.Share},
                                 {"last", UtcText(event.Last)}});
        if (event.Ended > 0) {
            out["events"].back()["ended"] = event.Ended;
            out["events"].back()["ranMinutes"] = event.RanMinutes;
        }
    }
    return out;
}

}  // namespace quorvane::admin
