#pragma once
// Completions handed to API::Requests, and what they were called with.

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Requests.h"

namespace http_testing {

struct Call {
    bool success = false;
    std::string body;
    std::unordered_map<std::string, std::string> headers;
    std::thread::id thread;
};

class Completions {
  public:
    Completions();
    // A completion that records its calls here; it may outlive this object.
    std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)> Callback()
        const;
    // Until `count` calls have been made; false at the time-out.
    bool WaitFor(std::size_t count,
                 std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    std::vector<Call> Calls() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
};

// Posts from the test executable, as a plugin would.
bool Post(const std::string& url, const Completions& completions,
          const std::string& body = R"({"content":"hello"})",
          const std::string& contentType = "application/json",
          std::vector<std::string> headerLines = {});

}  // namespace http_testing
