#pragma once
// Every command that the listener received, for tests to read: in memory, and appended to a
// file as one JSON object a line ({"command": ..., "peer": ...}) when a file is given.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace gameserver {

struct RconCommand {
    std::string command;  // the packet's body, byte for byte
    std::string peer;     // "127.0.0.1:50512"

    bool operator==(const RconCommand&) const = default;
};

class RconRecord {
  public:
    // Empty `file`: memory only. Throws std::runtime_error when the file cannot be opened.
    explicit RconRecord(const std::filesystem::path& file);

    void Add(RconCommand command);
    std::vector<RconCommand> All() const;
    // Waits until at least `count` commands are in; false when `timeout` passes first.
    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable added_;
    std::vector<RconCommand> commands_;
    std::ofstream file_;
};

}  // namespace gameserver
