#pragma once
// Appends the event history's lines to its file on a thread of its own, in the order they are
// given, so that no event waits for the disk. At `rotateAt` bytes the file becomes
// events.1.jsonl (one old file kept). Each line begins on a line of its own, whatever the file
// ended with. A file that cannot be written is one warning until a line is written again.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace quorvane {

class HistoryWriter {
  public:
    HistoryWriter(std::filesystem::path file, std::uintmax_t rotateAt);
    ~HistoryWriter();  // Stop
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Starts the writer's thread. Until then, after Stop, and when no thread can be started,
    // lines are written on the thread that appends them.
    void Start();
    // From any thread.
    void Append(std::string line);
    // Writes every line appended so far and ends the thread: when the plugin unloads.
    void Stop();
    // Until every line appended so far is written; false at the limit. For tests and
    // benchmarks.
    bool WaitUntilWritten(std::chrono::milliseconds limit);

  private:
    void Run();
    // On one thread at a time: the writer's, or an appender's under writeMutex_.
    void Write(const std::vector<std::string>& lines);

    const std::filesystem::path file_;
    const std::uintmax_t rotateAt_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable written_;
    std::vector<std::string> queue_;
    std::uint64_t appended_ = 0;
    std::uint64_t done_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::unique_ptr<platform::PluginThread> thread_;
    std::mutex writeMutex_;
    bool failing_ = false;  // warned once until a line is written again
};

}  // namespace quorvane
