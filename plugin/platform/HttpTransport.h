#pragma once
// One POST through the platform's HTTP client: libcurl on POSIX (HttpPosix.cpp), WinHTTP on
// Windows (HttpWindows.cpp). What builds on it (the plugin's verified Discord posts, the
// framework stand-in's request service, quorvane-config's test post) is the same on both.

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace http {

struct Post {
    std::string url;  // http:// or https://
    std::string body;
    // Complete lines, "Name: value", sent as given and in this order. When none of them is a
    // Content-Type line, the request carries no Content-Type header at all; when none is a
    // User-Agent line, no User-Agent header.
    std::vector<std::string> headerLines;
    std::chrono::milliseconds connectTimeout{};
    std::chrono::milliseconds totalTimeout{};
    // An https:// server's certificate must be valid, trusted by the system and issued for the
    // URL's host. Only the framework stand-in turns this off, as the real framework does.
    bool verifyPeer = true;
};

struct Outcome {
    // False when no HTTP answer arrived (refused, timed out, aborted...); `error` says why.
    bool answered = false;
    long status = 0;
    // The status line's reason phrase ("No Content"), or the standard one for the status when
    // the answer gave none (HTTP/2).
    std::string reason;
    std::string body;
    // The final answer's headers, names as sent; of a name sent more than once, the last value.
    std::unordered_map<std::string, std::string> headers;
    std::string error;
};

// One POST. Abort may be called from any thread at any time, also before Perform begins or
// after it ended; Perform then returns soon, without an answer.
class Transfer {
  public:
    virtual ~Transfer() = default;
    virtual Outcome Perform(const Post& post) = 0;
    virtual void Abort() = 0;
};

std::unique_ptr<Transfer> NewTransfer();

}  // namespace http
