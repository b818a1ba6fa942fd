#pragma once
// The webhook-receiver program running beside the test, its output read as it comes.

#include <chrono>
#include <string>
#include <vector>

namespace http_testing {

class ReceiverProcess {
  public:
    explicit ReceiverProcess(const std::vector<std::string>& arguments);
    ~ReceiverProcess();  // kills it if it still runs
    ReceiverProcess(const ReceiverProcess&) = delete;
    ReceiverProcess& operator=(const ReceiverProcess&) = delete;

    // The port of its "Listening on http://127.0.0.1:PORT" line; 0 when it did not say so in
    // time or ended first.
    int WaitForPort(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Sends SIGTERM and waits for the end: the exit code, or -1 when it did not end in time or
    // ended by a signal.
    int Terminate(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Everything it wrote to stdout and stderr so far.
    const std::string& Output() const { return output_; }

  private:
    int Wait(std::chrono::milliseconds timeout);
    // Reads what is there within `timeout`; false at the end of its output.
    bool ReadSome(std::chrono::milliseconds timeout);

    int pid_ = -1;
    int fd_ = -1;
    std::string output_;
};

}  // namespace http_testing
