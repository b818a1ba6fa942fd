#pragma once
// The event history: every due event one JSON line appended to events.jsonl beside
// config.json by the history's writer (HistoryWriter), off the game thread and in order. A
// started event's line is written once its RCON delivery and its Discord post are done. The
// last five lines stay in memory. Safe from any thread.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "history/EventRecord.h"
#include "history/HistoryWriter.h"

namespace quorvane {

class EventHistory {
  public:
    static constexpr std::uintmax_t kRotateAt = 10 * 1024 * 1024;

    explicit EventHistory(std::filesystem::path file, std::uintmax_t rotateAt = kRotateAt);

    // Starts the writer's thread; until then lines are written by the thread that ends them.
    void Start() { writer_.Start(); }

    // An event that did not start: written at once.
    void Add(EventRecord record);
    // A started event, whose RCON delivery (unless `rconDone`) and Discord post (unless
    // `discordDone`) are still under way: written once both are done. Its id.
    std::uint64_t Begin(EventRecord record, bool rconDone, bool discordDone);
    void RconDone(std::uint64_t id, std::map<std::string, std::string> outcomes);
    // The delivery did not take the event: it did not start.
    void Refused(std::uint64_t id, std::string reason);
    void DiscordDone(std::uint64_t id, std::string outcome);
    // Writes what is under way as it stands, and waits until every line is written: when the
    // plugin unloads.
    void Flush();
    // Until every line ended so far is written; false at the limit. For tests and benchmarks.
    bool WaitUntilWritten(std::chrono::milliseconds limit) {
        return writer_.WaitUntilWritten(limit);
    }

    // The last five records, the newest last.
    std::vector<EventRecord> Recent() const;

  private:
    struct Entry {
        EventRecord record;
        bool rconDone = false;
        bool discordDone = false;
    };

    void Update(std::uint64_t id, const std::function<void(Entry&)>& change);
    void Remember(const std::shared_ptr<Entry>& entry);
    void FinishIfDone(std::uint64_t id);
    void Write(const EventRecord& record);

    // Its lines are handed over under mutex_, so that they keep the order of the events.
    HistoryWriter writer_;
    mutable std::mutex mutex_;
    std::map<std::uint64_t, std::shared_ptr<Entry>> pending_;
    std::deque<std::shared_ptr<Entry>> recent_;
    std::uint64_t nextId_ = 1;
};

}  // namespace quorvane
