#include "RconRecord.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

namespace gameserver {

RconRecord::RconRecord(const std::filesystem::path& file) {
    if (file.empty()) {
        return;
    }
    file_.open(file, std::ios::binary | std::ios::app);
    if (!file_) {
        throw std::runtime_error("cannot open the RCON record " + file.string());
    }
}

void RconRecord::Add(RconCommand command) {
    std::lock_guard lock(mutex_);
    if (file_.is_open()) {
        const nlohmann::json line{{"command", command.command}, {"peer", command.peer}};
        // JSON holds only UTF-8: other bytes become U+FFFD in the file (memory keeps them).
        file_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        file_.flush();  // readers look while the server runs
    }
    commands_.push_back(std::move(command));
    added_.notify_all();
}

std::vector<RconCommand> RconRecord::All() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

bool RconRecord::WaitFor(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, timeout, [&] { return commands_.size() >= count; });
}

}  // namespace gameserver
