#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../ProcessStats.h"

namespace gameserver {

int ThreadCount() {
    std::error_code ec;
    int count = 0;
    for ([[maybe_unused]] const auto& task :
         std::filesystem::directory_iterator("/proc/self/task", ec)) {
        ++count;
    }
    return count;
}

int ZombieChildren() {
    const std::string self = std::to_string(getpid());
    int zombies = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const auto close = line.rfind(')');
        if (close == std::string::npos || close + 4 > line.size()) {
            continue;
        }
        const char state = line[close + 2];
        const auto ppidEnd = line.find(' ', close + 4);
        if (state == 'Z' && line.substr(close + 4, ppidEnd - close - 4) == self) {
            ++zombies;
        }
    }
    return zombies;
}

}  // namespace gameserver
