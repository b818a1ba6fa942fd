#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <thread>

#include "platform/Platform.h"

namespace quorvane::platform {
namespace {

// Joinable rather than detached: a detached thread could still be running the last
// instructions of its callable when the library is unloaded.
struct Worker {
    std::thread thread;
    bool finished = false;
};

struct WorkerList {
    std::mutex mutex;
    std::condition_variable changed;
    std::list<Worker> workers;

    ~WorkerList() {
        // Only one that never ended is left here: it must not take the process down.
        for (auto& worker : workers) {
            if (worker.thread.joinable()) {
                worker.thread.detach();
            }
        }
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

void StartWorker(std::function<void()> work) {
    auto& list = Workers();
    std::lock_guard lock(list.mutex);
    list.ReapFinished();
    auto worker = list.workers.emplace(list.workers.end());
    try {
        worker->thread = std::thread([work = std::move(work), worker, &list] {
            work();
            std::lock_guard done(list.mutex);
            worker->finished = true;
            list.changed.notify_all();
        });
    } catch (...) {
        list.workers.erase(worker);
        throw;
    }
}

bool WaitForWorkers(std::chrono::milliseconds limit) {
    auto& list = Workers();
    std::unique_lock lock(list.mutex);
    list.changed.wait_for(lock, limit, [&] {
        return std::all_of(list.workers.begin(), list.workers.end(),
                           [](const Worker& worker) { return worker.finished; });
    });
    list.ReapFinished();
    return list.workers.empty();
}

}  // namespace quorvane::platform
