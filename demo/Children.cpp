#include "Children.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "PipedChild.h"

namespace cluster {

Children::~Children() {
    for (auto& child : children_) {
        if (!child.ended && child.pid > 0) {
            kill(child.pid, SIGKILL);
            waitpid(child.pid, nullptr, 0);
        }
        if (child.output >= 0) {
            close(child.output);
        }
    }
}

std::size_t Children::Start(const std::string& name, const std::filesystem::path& program,
                            const std::vector<std::string>& arguments,
                            const std::filesystem::path& workingDir) {
    // Ctrl-C reaches the launcher only; it stops the children itself, in order.
    const auto child = standin::StartPiped(program, arguments, workingDir, true);
    children_.push_back({name, child.pid, child.output, {}, false, 0});
    return children_.size() - 1;
}

bool Children::ReadSome(const LineHandler& handler, int timeoutMs) {
    std::vector<pollfd> fds;
    std::vector<std::size_t> owners;
    for (std::size_t i = 0; i < children_.size(); ++i) {
        if (children_[i].output >= 0) {
            fds.push_back({children_[i].output, POLLIN, 0});
            owners.push_back(i);
        }
    }
    if (fds.empty()) {
        return false;
    }
    if (poll(fds.data(), fds.size(), timeoutMs) <= 0) {
        return true;
    }
    char buffer[8192];
    for (std::size_t k = 0; k < fds.size(); ++k) {
        if ((fds[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        Child& child = children_[owners[k]];
        const ssize_t n = read(child.output, buffer, sizeof buffer);
        if (n <= 0) {
            if (!child.pending.empty()) {
                handler(owners[k], child.pending);
                child.pending.clear();
            }
            close(child.output);
            child.output = -1;
            continue;
        }
        child.pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = child.pending.find('\n')) != std::string::npos) {
            handler(owners[k], child.pending.substr(0, end));
            child.pending.erase(0, end + 1);
        }
    }
    return true;
}

void Children::Reap() {
    for (auto& child : children_) {
        if (!child.ended && waitpid(child.pid, &child.status, WNOHANG) == child.pid) {
            child.ended = true;
        }
    }
}

void Children::Pump(const LineHandler& handler, std::chrono::steady_clock::time_point deadline,
                    const std::function<bool()>& stop) {
    while (std::chrono::steady_clock::now() < deadline && !stop()) {
        if (!ReadSome(handler, 100)) {
            break;
        }
        Reap();
    }
}

void Children::Stop(std::size_t child) {
    if (!children_[child].ended) {
        kill(children_[child].pid, SIGTERM);
    }
}

bool Children::StopAll(const LineHandler& handler, std::chrono::milliseconds grace) {
    for (std::size_t i = 0; i < children_.size(); ++i) {
        Stop(i);
    }
    const auto deadline = std::chrono::steady_clock::now() + grace;
    bool clean = true;
    for (;;) {
        ReadSome(handler, 50);
        Reap();
        bool allEnded = true;
        for (const auto& child : children_) {
            allEnded = allEnded && child.ended;
        }
        if (allEnded) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            for (auto& child : children_) {
                if (!child.ended) {
                    kill(child.pid, SIGKILL);
                    waitpid(child.pid, &child.status, 0);
                    child.ended = true;
                    clean = false;
                }
            }
            break;
        }
    }
    // What they wrote last; bounded, since a grandchild may hold a pipe open.
    const auto drainUntil = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < drainUntil && ReadSome(handler, 50)) {
    }
    for (const auto& child : children_) {
        clean = clean && WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0;
    }
    return clean;
}

}  // namespace cluster
