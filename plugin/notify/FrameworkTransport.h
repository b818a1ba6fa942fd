#pragma once
// Discord posts through the framework's request service (API::Requests), exactly as the
// plugin has always made them. The service checks no certificate.

#include "notify/DiscordTransport.h"

namespace quorvane {

class FrameworkTransport final : public DiscordTransport {
  public:
    bool Send(const DiscordRequest& request, Done done) override;
};

}  // namespace quorvane
