#include "GameThread.h"

#include <chrono>
#include <exception>
#include <future>

#include "Host/GameThread.h"

namespace testing_support {

namespace {
// As often as the game stand-in ticks.
constexpr auto kTick = std::chrono::milliseconds(5);
}  // namespace

GameThread::GameThread() : thread_([this] { Loop(); }) {}

GameThread::~GameThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void GameThread::Run(const std::function<void()>& work) {
    if (std::this_thread::get_id() == thread_.get_id()) {
        work();
        return;
    }
    std::packaged_task<void()> task(work);
    auto done = task.get_future();
    {
        std::lock_guard lock(mutex_);
        work_.emplace_back([&task] { task(); });
    }
    changed_.notify_all();
    done.get();
}

void GameThread::Loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        changed_.wait_for(lock, kTick, [&] { return stopping_ || !work_.empty(); });
        while (!work_.empty()) {
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work();
            lock.lock();
        }
        if (stopping_) {
            break;
        }
        lock.unlock();
        asahost::GameTick();
        lock.lock();
    }
}

}  // namespace testing_support
