#pragma once
// Writes what any thread hands over on a thread of its own, in the order given, so that the
// game thread never waits for the disk. Until Start, after Stop and when no thread can be
// started, the thread that hands a text over writes it itself.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace quorvane {

class WriterThread {
  public:
    // `write` gets the texts handed over since its last call, in order, on one thread at a
    // time. `what` names the file for the log ("The event history").
    using Write = std::function<void(const std::vector<std::string>&)>;
    WriterThread(Write write, std::string what);
    ~WriterThread();  // Stop
    WriterThread(const WriterThread&) = delete;
    WriterThread& operator=(const WriterThread&) = delete;

    void Start();
    // From any thread.
    void Append(std::string text);
    // Writes everything handed over so far and ends the thread.
    void Stop();
    // Until everything handed over so far is written; false at the limit. For tests and
    // benchmarks.
    bool WaitUntilWritten(std::chrono::milliseconds limit);

  private:
    void Run();

    const Write write_;
    const std::string what_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable written_;
    std::vector<std::string> queue_;
    std::uint64_t appended_ = 0;
    std::uint64_t done_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::unique_ptr<platform::PluginThread> thread_;
    // Held while writing: by the thread, or by an appender that writes for itself.
    std::mutex writeMutex_;
};

}  // namespace quorvane
