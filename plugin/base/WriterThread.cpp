#include "base/WriterThread.h"

#include <utility>

#include "base/PluginLog.h"

namespace quorvane {

WriterThread::WriterThread(Write write, std::string what)
    : write_(std::move(write)), what_(std::move(what)) {}

WriterThread::~WriterThread() {
    Stop();
}

void WriterThread::Start() {
    std::lock_guard lock(mutex_);
    if (running_ || stopping_) {
        return;
    }
    try {
        thread_ = std::make_unique<platform::PluginThread>([this] { Run(); });
        running_ = true;
    } catch (const std::exception& e) {
        PluginLog()->warn("{} is written on the game thread: no thread: {}", what_, e.what());
    }
}

void WriterThread::Append(std::string text) {
    {
        std::lock_guard lock(mutex_);
        ++appended_;
        if (running_) {
            queue_.push_back(std::move(text));
            work_.notify_one();
            return;
        }
    }
    {
        std::lock_guard write(writeMutex_);
        write_({std::move(text)});
    }
    std::lock_guard lock(mutex_);
    ++done_;
    written_.notify_all();
}

void WriterThread::Stop() {
    std::unique_ptr<platform::PluginThread> thread;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        thread = std::move(thread_);
        work_.notify_one();
    }
    thread.reset();  // joins once the queue is written
}

bool WriterThread::WaitUntilWritten(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return written_.wait_for(lock, limit, [&] { return done_ == appended_; });
}

void WriterThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            // Stopping with everything written: appenders write for themselves from now on.
            running_ = false;
            return;
        }
        std::vector<std::string> texts;
        texts.swap(queue_);
        lock.unlock();
        {
            std::lock_guard write(writeMutex_);
            write_(texts);
        }
        lock.lock();
        done_ += texts.size();
        written_.notify_all();
    }
}

}  // namespace quorvane
