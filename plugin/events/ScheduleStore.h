#pragma once
// schedule.json beside config.json (KeepScheduleAcrossRestarts): per server key, the time (UTC)
// of that server's next event and, with warnings, the event and coordinate drawn for it, and
// whether it was warned of. Replaced whole and atomically on a thread of its own whenever the
// plan changes; one file may hold several servers' keys.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/WriterThread.h"
#include "config/Settings.h"

namespace quorvane {

struct KeptEvent {
    std::chrono::system_clock::time_point Next;
    std::optional<std::string> EventId;
    std::optional<WorldCoordinate> Coordinate;
    bool Warned = false;
};

// `server`'s entry in the file's text; none when it has none. Throws std::runtime_error when
// the text or the entry cannot be read.
std::optional<KeptEvent> KeptOf(const std::string& text, const std::string& server);

class ScheduleStore {
  public:
    explicit ScheduleStore(std::filesystem::path file);

    void Start() { thread_.Start(); }
    // Writes what was handed over, and ends the thread.
    void Stop() { thread_.Stop(); }
    bool WaitUntilWritten(std::chrono::milliseconds limit) {
        return thread_.WaitUntilWritten(limit);
    }

    // `server`'s kept event; none without one, and one warning when the file cannot be read.
    std::optional<KeptEvent> Load(const std::string& server);
    // Keeps `kept` for `server`; written off the calling thread, the other keys left as they
    // are.
    void Save(const std::string& server, const KeptEvent& kept);

  private:
    // On one thread at a time.
    void Write(const std::vector<std::string>& changes);

    const std::filesystem::path file_;
    bool failing_ = false;  // warned once until it is written again
    // Last: it stops, and writes what is left, before the rest goes.
    WriterThread thread_{[this](const std::vector<std::string>& changes) { Write(changes); },
                         "The kept schedule"};
};

}  // namespace quorvane
