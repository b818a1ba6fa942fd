#pragma once
// schedule.json beside config.json (KeepScheduleAcrossRestarts): per server key, the time (UTC)
// of that server's next event and, with warnings, the event and coordinate drawn for it,
// whether it was warned of, and the fixed times judged not to start. The servers of a cluster
// may share the folder and so the file: each change is read, merged into its server's entry
// and written back under a lock that the other processes see too, on a thread of its own.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/WriterThread.h"
#include "config/Settings.h"

namespace quorvane {

struct KeptEvent {
    std::chrono::system_clock::time_point Next;
    std::optional<std::string> EventId;
    std::optional<WorldCoordinate> Coordinate;
    bool Warned = false;
    // Why it does not start, as judged at its first warning.
    std::optional<std::string> Skipped;
};

// A fixed time judged at its first warning not to start.
struct KeptSkip {
    std::string EventId;
    std::chrono::system_clock::time_point At;
    std::string Reason;
};

// An event that runs until its end: kept whatever KeepScheduleAcrossRestarts says while it has
// an EndCommand, so that its end runs even after a restart.
struct KeptEnd {
    std::string EventId;
    std::string Eventlabel;
    WorldCoordinate Coordinate;
    std::chrono::system_clock::time_point Started;
    std::chrono::system_clock::time_point Ends;
    // Filled when it started.
    std::string EndCommand;
};

// What one server keeps.
struct KeptSchedule {
    KeptEvent Next;
    std::vector<KeptSkip> FixedSkips;
};

class ScheduleStore {
  public:
    explicit ScheduleStore(std::filesystem::path file);

    void Start() { thread_.Start(); }
    // Writes what was handed over, and ends the thread.
    void Stop() { thread_.Stop(); }
    bool WaitUntilWritten(std::chrono::milliseconds limit) {
        return thread_.WaitUntilWritten(limit);
    }

    // `server`'s kept schedule; none without one. A file that cannot be read is set aside as
    // schedule.json.broken, a broken entry left out, each with one warning.
    std::optional<KeptSchedule> Load(const std::string& server);
    // Keeps `kept` for `server`; written off the calling thread. The other servers' entries,
    // and what else this server's entry holds, stay as they are.
    void Save(const std::string& server, const KeptSchedule& kept);
    // `server`'s running events, apart from its schedule; broken ones left out with a warning.
    std::vector<KeptEnd> LoadRunning(const std::string& server);
    void SaveRunning(const std::string& server, const std::vector<KeptEnd>& ends);

  private:
    // The file's document, an object, with the lock held; none when it can neither be read
    // nor set aside. `then` says what follows a file set aside.
    std::optional<nlohmann::json> ReadLocked(const char* then);
    // On one thread at a time.
    void Write(const std::vector<std::string>& changes);

    const std::filesystem::path file_;
    const std::filesystem::path lock_;
    bool failing_ = false;  // warned once until it is written again
    // Last: it stops, and writes what is left, before the rest goes.
    WriterThread thread_{[this](const std::vector<std::string>& changes) { Write(changes); },
                         "The kept schedule"};
};

}  // namespace quorvane
