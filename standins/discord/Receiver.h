#pragma once
// A local stand-in for Discord's webhook endpoint: HTTP on 127.0.0.1, answering posts to
// /api/webhooks/<id>/<token> as Discord does or with a failure it is told to give, and
// keeping every request for whoever runs it (a test in the same process, or the
// webhook-receiver program's record file).

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "Behaviour.h"
#include "Record.h"

namespace webhook {

struct ReceiverOptions {
    int port = 0;  // 0: any free port
    // Every request as one JSON line (ToJsonLine); empty: none.
    std::filesystem::path recordFile;
    Behaviour behaviour;
    // Where posts are shown as they are answered (FormatAnnouncement); null: nowhere.
    std::ostream* console = nullptr;
};

class Receiver {
  public:
    explicit Receiver(ReceiverOptions options = {});
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Binds 127.0.0.1 and starts answering; returns the port. Throws std::runtime_error when
    // the port or the record file cannot be opened.
    int Start();
    // Lets go of stalled requests and returns when no request is being answered any more.
    void Stop();

    int Port() const;
    // "http://127.0.0.1:PORT"
    std::string BaseUrl() const;

    void SetBehaviour(const Behaviour& behaviour);
    Behaviour CurrentBehaviour() const;

    // Every request answered so far, in the order answered; control requests excluded.
    std::vector<Record> Records() const;
    // Until `count` webhook posts have arrived, answered or held; false at the time-out.
    bool WaitForArrivals(std::size_t count, std::chrono::milliseconds timeout) const;
    // Until `count` requests have been answered.
    bool WaitForRecords(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace webhook
