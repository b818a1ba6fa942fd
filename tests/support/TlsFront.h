#pragma once
// An https:// front for a local HTTP server, with a certificate for 127.0.0.1 that no authority
// vouches for, as someone who intercepts a server's traffic would put up: tests/node/
// tls-front.js under Node.js, with a key made by the openssl program.

#include <filesystem>
#include <optional>
#include <string>

#include "BackgroundProcess.h"

namespace testing_support {

class TlsFront {
  public:
    // Its key and certificate go into `dir`; it passes each connection on to 127.0.0.1:`port`.
    // A test failure when it cannot start (BaseUrl is empty then).
    TlsFront(const std::filesystem::path& dir, int port);
    // "https://127.0.0.1:PORT"
    const std::string& BaseUrl() const { return url_; }

  private:
    std::optional<BackgroundProcess> process_;
    std::string url_;
};

}  // namespace testing_support
