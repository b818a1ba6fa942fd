#include "GameTasks.h"

namespace gameserver {

std::optional<std::string> GameTasks::Run(std::function<std::string()> work) {
    auto task = std::make_shared<Task>();
    task->work = std::move(work);
    std::unique_lock lock(mutex_);
    if (closed_) {
        return std::nullopt;
    }
    waiting_.push_back(task);
    done_.wait(lock, [&] { return task->done; });
    return task->result;
}

void GameTasks::RunPending() {
    std::deque<std::shared_ptr<Task>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(waiting_);
    }
    for (auto& task : tasks) {
        std::string result = task->work();
        std::lock_guard lock(mutex_);
        task->result = std::move(result);
        task->done = true;
    }
    if (!tasks.empty()) {
        done_.notify_all();
    }
}

void GameTasks::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (auto& task : waiting_) {
        task->done = true;
    }
    waiting_.clear();
    done_.notify_all();
}

}  // namespace gameserver
