#pragma once

#include <string>

namespace quorvane {

// The two texts of one event that its RCON worker owns.
struct RconJob {
    std::string BroadcastText;  // filled and escaped for the client's command line
    std::string EventCommand;
};

}  // namespace quorvane
