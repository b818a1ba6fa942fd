#pragma once
// The game server's RCON listener: accepts any number of connections, each served on its own
// thread as the real servers serve it (see RconConnection.h), logs and records every command.
// Thread-safe; Stop() ends every thread and closes every socket.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <spdlog/logger.h>

#include "RconConnection.h"
#include "RconRecord.h"
#include "rcon/Socket.h"

namespace gameserver {

struct RconListenerOptions {
    // Loopback by default: the stand-in serves the machine it runs on.
    std::string address = "127.0.0.1";
    int port = 0;  // 0 picks a free port; Port() tells which
    std::string password;
    std::filesystem::path recordFile;     // empty: the record stays in memory
    std::shared_ptr<spdlog::logger> log;  // null: nothing is logged
    // The game's answer to a command; null: no output.
    std::function<RconAnswer(const std::string& command, int id)> console;
};

class RconListener {
  public:
    // Throws std::runtime_error when the record file cannot be opened.
    explicit RconListener(RconListenerOptions options);
    ~RconListener();
    RconListener(const RconListener&) = delete;
    RconListener& operator=(const RconListener&) = delete;

    // Listens and logs "Listening on ADDRESS:PORT". Throws rcon::Error when the port cannot
    // be had.
    void Start();
    // Idempotent; returns when every thread has ended.
    void Stop();

    int Port() const { return port_; }
    std::vector<RconCommand> Commands() const { return record_->All(); }
    // Waits until at least `count` commands arrived; false when `timeout` passes first.
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const {
        return record_->WaitFor(count, timeout);
    }

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void AcceptLoop();
    void JoinFinishedWorkers();

    RconListenerOptions options_;
    const std::unique_ptr<RconRecord> record_;
    RconContext context_;
    rcon::net::Socket socket_;
    std::atomic<int> port_{0};
    std::atomic<bool> stopping_{false};
    std::mutex lifecycle_;
    std::thread acceptor_;
    std::list<Worker> workers_;  // only the accept thread touches it until Stop joins that
};

}  // namespace gameserver
