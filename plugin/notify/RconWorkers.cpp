#include "notify/RconWorkers.h"

#include "core/PluginLog.h"
#include "notify/RconFanout.h"
#include "platform/Platform.h"

namespace quorvane {

void StartRconWorker(RconJob job) {
    platform::StartWorker([job = std::move(job)] { RconFanout(job); });
}

bool WaitForRconWorkers(std::chrono::milliseconds limit) {
    return platform::WaitForWorkers(limit);
}

void StopRconWorkers(std::chrono::milliseconds limit) {
    platform::EndRunningCommands();
    if (!platform::WaitForWorkers(limit) && PluginLog()) {
        // Nothing more can be done for a worker stuck elsewhere than in its client.
        PluginLog()->error("RCON workers did not end in time");
    }
}

}  // namespace quorvane
