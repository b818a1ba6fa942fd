#pragma once
// The cluster's processes: started with their output captured line by line, stopped with
// SIGTERM and, past a grace period, SIGKILL.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace cluster {

class Children {
  public:
    using LineHandler = std::function<void(std::size_t child, const std::string& line)>;

    ~Children();

    // Starts `program` in `workingDir`; returns its index.
    std::size_t Start(const std::string& name, const std::filesystem::path& program,
                      const std::vector<std::string>& arguments,
                      const std::filesystem::path& workingDir);
    const std::string& Name(std::size_t child) const { return children_[child].name; }

    // Hands every complete output line to `handler` until `deadline`, or until `stop`
    // says so, or until every child has ended.
    void Pump(const LineHandler& handler, std::chrono::steady_clock::time_point deadline,
              const std::function<bool()>& stop);

    // Sends SIGTERM to the children still running and waits; SIGKILL after `grace`. True
    // when every child ended by itself with exit code 0.
    bool StopAll(const LineHandler& handler, std::chrono::milliseconds grace);
    void Stop(std::size_t child);

  private:
    struct Child {
        std::string name;
        pid_t pid = -1;
        int output = -1;
        std::string pending;
        bool ended = false;
        int status = 0;
    };
    bool ReadSome(const LineHandler& handler, int timeoutMs);
    void Reap();

    std::vector<Child> children_;
};

}  // namespace cluster
