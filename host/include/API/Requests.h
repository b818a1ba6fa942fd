#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "API/Base.h"

namespace API {
class Requests {
  public:
    using Completion =
        std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>;

    ARK_API static Requests& Get();

    // Sends the request asynchronously. `done` is called once, on a thread of the host's,
    // with true when the server answered with a 2xx status.
    ARK_API bool CreatePostRequest(const std::string& url, const Completion& done,
                                   const std::string& body, const std::string& contentType,
                                   std::vector<std::string> headerLines);

  private:
    Requests() = default;
};
}  // namespace API
