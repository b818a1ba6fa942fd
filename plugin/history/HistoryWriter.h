#pragma once
// Appends the event history's lines to its file on a thread of its own, in the order they are
// given, so that no event waits for the disk. At `rotateAt` bytes the file becomes
// events.1.jsonl (one old file kept). Each line begins on a line of its own, whatever the file
// ended with. A file that cannot be written is one warning until a line is written again.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/WriterThread.h"

namespace quorvane {

class HistoryWriter {
  public:
    HistoryWriter(std::filesystem::path file, std::uintmax_t rotateAt);

    // Starts the writer's thread. Until then, after Stop, and when no thread can be started,
    // lines are written on the thread that appends them.
    void Start() { thread_.Start(); }
    // From any thread.
    void Append(std::string line) { thread_.Append(std::move(line)); }
    // Writes every line appended so far and ends the thread: when the plugin unloads.
    void Stop() { thread_.Stop(); }
    // Until every line appended so far is written; false at the limit. For tests and
    // benchmarks.
    bool WaitUntilWritten(std::chrono::milliseconds limit) {
        return thread_.WaitUntilWritten(limit);
    }

  private:
    // On one thread at a time.
    void Write(const std::vector<std::string>& lines);

    const std::filesystem::path file_;
    const std::uintmax_t rotateAt_;
    bool failing_ = false;  // warned once until a line is written again
    // Last: it stops, and writes what is left, before the rest goes.
    WriterThread thread_{[this](const std::vector<std::string>& lines) { Write(lines); },
                         "The event history"};
};

}  // namespace quorvane
