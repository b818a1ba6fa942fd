#include "notify/RconFanout.h"

#include "core/PluginLog.h"
#include "platform/Platform.h"

namespace quorvane {

std::string RconCommandLine(const std::string& clientPath, const RconTarget& target,
                            const std::string& text) {
    return "\"\"" + clientPath + "\" -H" + target.RconIP + " -P" + std::to_string(target.RconPort) +
           " -p" + target.RconPassword + " \"" + text + "\"\"";
}

void RconFanout(const RconJob& job) {
    try {
        const std::string clientPath = EventSettings().MCRconPath;
        // Exit codes are not looked at: a server that is down must not keep the others
        // from hearing of the event.
        platform::RunShellCommand(
            RconCommandLine(clientPath, EventSettings().RconSettings, job.EventCommand));
        for (const auto& target : EventSettings().RconInfos) {
            platform::RunShellCommand(RconCommandLine(clientPath, target, job.BroadcastText));
        }
    } catch (const std::exception& e) {
        PluginLog()->error("Error sending rcon command: {}", e.what());
    }
}

}  // namespace quorvane
