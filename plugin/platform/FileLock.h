#pragma once
// A lock that the other processes of the machine see too: several game servers of a cluster
// run from one folder and share its files. One file per platform (flock, LockFileEx).

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace quorvane::platform {

class FileLock {
  public:
    // Holds the lock on `file`, created when missing and never removed, waiting for another
    // holder at most `limit`. Throws std::system_error when the file cannot be opened or
    // locked, or the limit passes. The system releases it when its process dies.
    FileLock(const std::filesystem::path& file, std::chrono::milliseconds limit);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    std::intptr_t handle_;
};

}  // namespace quorvane::platform
