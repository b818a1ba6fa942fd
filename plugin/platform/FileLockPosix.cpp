#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/FileLock.h"

namespace quorvane::platform {

// flock, not fcntl: its lock belongs to the open file, so two stores of one process exclude
// each other as two processes do.
FileLock::FileLock(const std::filesystem::path& file, std::chrono::milliseconds limit) {
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if ((error != EWOULDBLOCK && error != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            throw std::system_error(error, std::generic_category(), "cannot lock " + file.string());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    handle_ = fd;
}

FileLock::~FileLock() {
    close(static_cast<int>(handle_));  // releases the lock
}

}  // namespace quorvane::platform
