#pragma once
// What the log says about one event's RCON delivery: one warning for each server that a
// message did not reach, and with Debug one line for each server it reached.

#include <string>
#include <vector>

#include "notify/RconJob.h"
#include "platform/ClientEnv.h"

namespace quorvane {

// One client run of a job: which message to which server, and how it ended.
struct RconDelivery {
    bool EventCommand;  // else the broadcast
    const RconTarget* Target;
    platform::ClientExit Exit;
    // An announcement that server's Quorvane was to show went as ServerChat: none took it.
    bool AsServerChat = false;
};

// Why a client run failed ("exit code 4", "ended after 10 s", "client not found: path",
// "error: REASON", "cut off by unloading", the built-in client's "wrong password"); empty when
// it delivered.
std::string FailureReason(const platform::ClientExit& exit, std::chrono::milliseconds deadline);

// A deadline in seconds as the log writes it: "10", "0.3".
std::string SecondsText(std::chrono::milliseconds duration);

struct RconReportLine {
    bool Warning;
    std::string Text;
};

// One line per server, the own server first, then in the order the job lists them; the lines
// of successes only with Debug. A run that failed by exception was logged when it failed.
std::vector<RconReportLine> ReportDeliveries(const RconJob& job,
                                             const std::vector<RconDelivery>& deliveries);

}  // namespace quorvane
