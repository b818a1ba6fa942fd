// schedule-writer FILE SERVER COUNT: keeps COUNT next times for SERVER in FILE through the
// plugin's own store, one read-merge-write each, as a game server of a cluster does; the next
// time of the k-th is 2030-01-01T00:00:00Z plus k seconds. Several at once share the file.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <spdlog/sinks/stdout_sinks.h>

#include "Logger/Logger.h"
#include "base/PluginLog.h"
#include "events/ScheduleStore.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: schedule-writer FILE SERVER COUNT\n");
        return 2;
    }
    GetLogSinks().push_back(std::make_shared<spdlog::sinks::stderr_sink_mt>());
    quorvane::CreatePluginLog();
    const std::string server = argv[2];
    const int count = std::atoi(argv[3]);
    const auto base = std::chrono::sys_days(std::chrono::year(2030) / 1 / 1);
    quorvane::ScheduleStore store(argv[1]);
    store.Start();
    for (int k = 1; k <= count; ++k) {
        quorvane::KeptSchedule kept;
        kept.Next.Next = base + std::chrono::seconds(k);
        store.Save(server, kept);
        if (!store.WaitUntilWritten(std::chrono::seconds(60))) {
            std::fprintf(stderr, "not written in time\n");
            return 1;
        }
    }
    store.Stop();
    quorvane::ReleasePluginLog();
    return 0;
}
