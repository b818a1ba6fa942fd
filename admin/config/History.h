#pragma once
// `quorvane-config history`: what a server's event history (events.jsonl) says: per event how
// often it started, its share and when it last started, and the skips by reason. The way to
// check that weights do what they were meant to.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "history/EventRecord.h"

namespace quorvane::admin {

// Each line of `file` with its number (from 1), without its line feed. Throws
// std::runtime_error for a file that cannot be read.
void ForEachLine(const std::filesystem::path& file,
                 const std::function<void(std::size_t number, const std::string& line)>& visit);

// The files' lines, in the order given (an older events.1.jsonl first). Throws
// std::runtime_error for a file that cannot be read.
HistorySummary ReadHistory(const std::vector<std::filesystem::path>& files);

std::string ToText(const std::string& name, const HistorySummary& summary);

// What a skip's kind means, for people: "outside ActiveHours".
std::string SkipText(const std::string& kind);

// A share as people read it: "25.0 %".
std::string SharePercent(double share);
nlohmann::json ToJson(const HistorySummary& summary);

}  // namespace quorvane::admin
