#pragma once
// The stand-in's RCON listener in the test process, on a free loopback port, with password
// "secret", a console that answers "echo TEXT" with TEXT and "bytes N" with LongAnswer(N), and
// a logger that keeps its lines.

#include <memory>
#include <string>
#include <vector>

#include "RconListener.h"

namespace testing_support {
class LineSink;
}

namespace rcon_testing {

class TestListener {
  public:
    explicit TestListener(const std::string& password = "secret",
                          const std::filesystem::path& recordFile = {});
    ~TestListener();

    gameserver::RconListener& Listener() { return *listener_; }
    int Port() const { return listener_->Port(); }
    std::vector<gameserver::RconCommand> Commands() const { return listener_->Commands(); }
    // "[RCON][level] text" for every line logged so far.
    std::vector<std::string> LogLines() const;

    // N bytes that no cut or reordering of packets leaves unchanged.
    static std::string LongAnswer(std::size_t size);

  private:
    std::shared_ptr<testing_support::LineSink> sink_;
    std::unique_ptr<gameserver::RconListener> listener_;
};

}  // namespace rcon_testing
