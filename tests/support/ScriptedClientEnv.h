#pragma once
// Stands in for the operating system where a test of the plugin's RCON delivery wants no
// processes: each client run ends as scripted, and threads are real unless a start is refused.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ClientEnv.h"

namespace testing_support {

using ClientExit = quorvane::platform::ClientExit;
using Args = std::vector<std::string>;

// How a scripted client run ends: `exit`; or once the clients are ended (hang); or by an
// exception (raise).
struct Scripted {
    ClientExit exit;
    bool hang = false;
    bool raise = false;
};

class ScriptedEnv final : public quorvane::platform::ClientEnv {
  public:
    // How the runs whose arguments hold `argument` end; the rest exit with 0.
    void Script(const std::string& argument, Scripted answer) {
        std::lock_guard lock(mutex_);
        answers_[argument] = std::move(answer);
    }
    void ForgetScripts() {
        std::lock_guard lock(mutex_);
        answers_.clear();
    }
    // The next `count` thread starts throw.
    void RefuseThreads(int count) {
        std::lock_guard lock(mutex_);
        refuseThreads_ = count;
    }
    std::vector<Args> Runs() {
        std::lock_guard lock(mutex_);
        return runs_;
    }
    int ThreadsStarted() {
        std::lock_guard lock(mutex_);
        return threadsStarted_;
    }
    // Until `count` runs have begun.
    bool WaitForRuns(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30),
                                 [&] { return runs_.size() >= count; });
    }

    ClientExit RunClient(const Args& arguments, std::chrono::milliseconds) override {
        std::unique_lock lock(mutex_);
        if (ended_) {
            return {ClientExit::Kind::Ended, 0, {}};
        }
        runs_.push_back(Args(arguments.begin() + 1, arguments.end()));
        changed_.notify_all();
        Scripted answer;
        for (const auto& [argument, scripted] : answers_) {
            if (std::find(arguments.begin(), arguments.end(), argument) != arguments.end()) {
                answer = scripted;
            }
        }
        if (answer.raise) {
            throw std::runtime_error("out of handles");
        }
        if (answer.hang) {
            changed_.wait(lock, [&] { return ended_; });
            return {ClientExit::Kind::Ended, 0, {}};
        }
        return answer.exit;
    }
    void EndClients() override {
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }
    std::unique_ptr<quorvane::platform::PluginThread> StartThread(
        std::function<void()> work) override {
        {
            std::lock_guard lock(mutex_);
            if (refuseThreads_ > 0) {
                --refuseThreads_;
                throw std::runtime_error("no more threads");
            }
            ++threadsStarted_;
        }
        return std::make_unique<quorvane::platform::PluginThread>(std::move(work));
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, Scripted> answers_;
    std::vector<Args> runs_;
    int refuseThreads_ = 0;
    int threadsStarted_ = 0;
    bool ended_ = false;
};

}  // namespace testing_support
