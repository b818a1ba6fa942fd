#pragma once
// The member names a cluster file may have at each level, and the unknown ones in a file:
// a typo in an optional key ("Debugg") is otherwise ignored without a word.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quorvane::admin {

struct UnknownKey {
    std::string pointer;  // of the unknown member
    std::string closest;  // the known name at that level nearest to it
};

std::vector<UnknownKey> UnknownKeys(const nlohmann::json& document);

// A top-level template that every server runs as a console command over RCON, so players see
// it only when it begins with a command that shows text to them.
struct AnnouncementKey {
    const char* name;
    bool sentWhenEmpty;  // false: an empty text means that none is sent
};
extern const std::vector<AnnouncementKey> kAnnouncementKeys;

// The number of single-character edits from one name to the other.
std::size_t EditDistance(const std::string& a, const std::string& b);

}  // namespace quorvane::admin
