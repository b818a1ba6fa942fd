#include "history/EventHistory.h"

#include <utility>

namespace quorvane {

EventHistory::EventHistory(std::filesystem::path file, std::uintmax_t rotateAt)
    : writer_(std::move(file), rotateAt) {}

void EventHistory::Add(EventRecord record) {
    auto entry = std::make_shared<Entry>(Entry{std::move(record), true, true});
    std::lock_guard lock(mutex_);
    Remember(entry);
    Write(entry->record);
}

std::uint64_t EventHistory::Begin(EventRecord record, bool rconDone, bool discordDone) {
    auto entry = std::make_shared<Entry>(Entry{std::move(record), rconDone, discordDone});
    std::lock_guard lock(mutex_);
    Remember(entry);
    const std::uint64_t id = nextId_++;
    pending_[id] = entry;
    FinishIfDone(id);
    return id;
}

void EventHistory::RconDone(std::uint64_t id, std::map<std::string, std::string> outcomes) {
    Update(id, [&](Entry& entry) {
        entry.record.Rcon = std::move(outcomes);
        entry.rconDone = true;
    });
}

void EventHistory::Refused(std::uint64_t id, std::string reason) {
    Update(id, [&](Entry& entry) {
        entry.record.Outcome = "not started";
        entry.record.Reason = std::move(reason);
        entry.rconDone = true;
    });
}

void EventHistory::DiscordDone(std::uint64_t id, std::string outcome) {
    Update(id, [&](Entry& entry) {
        entry.record.Discord = std::move(outcome);
        entry.discordDone = true;
    });
}

void EventHistory::Update(std::uint64_t id, const std::function<void(Entry&)>& change) {
    std::lock_guard lock(mutex_);
    if (const auto found = pending_.find(id); found != pending_.end()) {
        change(*found->second);
        FinishIfDone(id);
    }
}

void EventHistory::Flush() {
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, entry] : pending_) {
            Write(entry->record);
        }
        pending_.clear();
    }
    writer_.Stop();
}

std::vector<EventRecord> EventHistory::Recent() const {
    std::lock_guard lock(mutex_);
    std::vector<EventRecord> out;
    for (const auto& entry : recent_) {
        out.push_back(entry->record);
    }
    return out;
}

void EventHistory::Remember(const std::shared_ptr<Entry>& entry) {
    recent_.push_back(entry);
    if (recent_.size() > 5) {
        recent_.pop_front();
    }
}

void EventHistory::FinishIfDone(std::uint64_t id) {
    const auto found = pending_.find(id);
    if (found->second->rconDone && found->second->discordDone) {
        Write(found->second->record);
        pending_.erase(found);
    }
}

void EventHistory::Write(const EventRecord& record) {
    writer_.Append(ToJsonLine(record));
}

}  // namespace quorvane
