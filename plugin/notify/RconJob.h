#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "config/Settings.h"

namespace quorvane {

// One event's RCON delivery, with its own copy of the settings it was started with.
struct RconJob {
    std::string EventId;
    std::string EventCommand;
    // The filled announcement; a line feed is written as the two characters \ and n.
    std::string BroadcastText;
    std::string ClientPath;
    RconTarget Own;
    std::vector<RconTarget> Targets;
    // Each client run is ended after this long.
    std::chrono::milliseconds Deadline{std::chrono::seconds(10)};
    bool Debug = false;
};

}  // namespace quorvane
