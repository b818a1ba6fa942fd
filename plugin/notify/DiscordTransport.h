#pragma once
// Where a Discord post goes: the framework's request service (FrameworkTransport), which checks
// no certificate, or the plugin's own HTTP client (VerifiedTransport), which does. Both take the
// same request and hand its reply back alike: once, later, on the game thread.

#include <functional>
#include <string>
#include <vector>

#include "notify/DiscordPost.h"

namespace quorvane {

struct DiscordRequest {
    std::string Url;
    std::string Body;
    std::string ContentType;
    // Complete lines, "Name: value".
    std::vector<std::string> HeaderLines;
};

class DiscordTransport {
  public:
    using Done = std::function<void(DiscordReply)>;

    virtual ~DiscordTransport() = default;
    // On the game thread. False when the request cannot be made at all; `done` is then never
    // called.
    virtual bool Send(const DiscordRequest& request, Done done) = 0;
};

}  // namespace quorvane
