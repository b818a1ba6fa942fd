#pragma once

#include <string>

#include "config/Settings.h"
#include "notify/RconJob.h"

namespace quorvane {

// The client's command line for one message: ""path" -Hip -Pport -ppassword "text"".
// Values are inserted as they are; the broadcast text arrives escaped.
std::string RconCommandLine(const std::string& clientPath, const RconTarget& target,
                            const std::string& text);

// Sends the event command to this server, then the broadcast to every server of RconInfos,
// one client after another. A standard exception ends the job with one error line.
void RconFanout(const RconJob& job);

}  // namespace quorvane
