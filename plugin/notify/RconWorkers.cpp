#include "notify/RconWorkers.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include "core/PluginLog.h"
#include "notify/RconFanout.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

// Workers stay joinable rather than detached: a detached thread could still be running the
// last instructions of its callable when the library is unloaded.
struct Worker {
    std::thread thread;
    bool finished = false;
};

struct WorkerList {
    std::mutex mutex;
    std::condition_variable changed;
    std::list<Worker> workers;

    // Waits up to `limit` for every worker to be done with its job.
    bool AllFinished(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds limit) {
        return changed.wait_for(lock, limit, [&] {
            return std::all_of(workers.begin(), workers.end(),
                               [](const Worker& worker) { return worker.finished; });
        });
    }

    // Joins the workers that are done. Called with `mutex` held.
    void ReapFinished() {
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->finished) {
                it->thread.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    }
};

WorkerList& Workers() {
    static WorkerList list;
    return list;
}

}  // namespace

void StartRconWorker(RconJob job) {
    auto& list = Workers();
    std::lock_guard lock(list.mutex);
    list.ReapFinished();
    auto worker = list.workers.emplace(list.workers.end());
    try {
        worker->thread = std::thread([job = std::move(job), worker, &list] {
            RconFanout(job);
            std::lock_guard done(list.mutex);
            worker->finished = true;
            list.changed.notify_all();
        });
    } catch (...) {
        list.workers.erase(worker);
        throw;
    }
}

bool WaitForRconWorkers(std::chrono::milliseconds limit) {
    auto& list = Workers();
    std::unique_lock lock(list.mutex);
    const bool allFinished = list.AllFinished(lock, limit);
    list.ReapFinished();
    return allFinished;
}

void StopRconWorkers(std::chrono::milliseconds limit) {
    platform::EndRunningCommands();
    auto& list = Workers();
    std::unique_lock lock(list.mutex);
    if (!list.AllFinished(lock, limit) && PluginLog()) {
        // Nothing more can be done for a worker stuck elsewhere than in its client.
        PluginLog()->error("RCON workers did not end in time");
    }
    for (auto& worker : list.workers) {
        if (worker.finished) {
            platform::ReleaseWorkerAtUnload(worker.thread);
        } else {
            worker.thread.detach();
        }
    }
    // A worker still running keeps its entry: it writes to it when it ends.
    list.workers.remove_if([](const Worker& worker) { return worker.finished; });
}

}  // namespace quorvane
