#include "notify/RconJob.h"

#include <cmath>
#include <utility>

namespace quorvane {

RconJob MakeRconJob(const Settings& s, const std::string& eventId, std::string eventCommand,
                    std::string broadcastText) {
    RconJob job;
    job.EventId = eventId;
    job.EventCommand = std::move(eventCommand);
    job.BroadcastText = std::move(broadcastText);
    job.Client = s.RconClient;
    job.ClientPath = s.MCRconPath;
    job.Own = s.RconSettings;
    job.Targets = s.RconInfos;
    job.Deadline = std::chrono::milliseconds(
        static_cast<long long>(std::ceil(s.RconClientTimeoutSeconds * 1000)));
    job.Debug = s.Debug;
    return job;
}

RconJob MakeRconJob(const Settings& s, const std::string& eventId, std::string eventCommand,
                    const Announcement& broadcast) {
    RconJob job = MakeRconJob(s, eventId, std::move(eventCommand), broadcast.Command);
    if (broadcast.ToQuorvane) {
        job.Announce = true;
        job.BroadcastFallback = broadcast.Fallback;
        if (broadcast.Command.empty()) {
            job.Targets.clear();
        }
    }
    return job;
}

std::vector<std::string> ClientArguments(const std::string& clientPath, const RconTarget& target,
                                         const std::string& text) {
    std::vector<std::string> arguments{clientPath, "-H" + target.RconIP,
                                       "-P" + std::to_string(target.RconPort),
                                       "-p" + target.RconPassword};
    // A getopt-style client would read "-pvp zone event-" as a password, "--" as nothing.
    if (text.starts_with('-')) {
        arguments.push_back("--");
    }
    arguments.push_back(text);
    return arguments;
}

}  // namespace quorvane
