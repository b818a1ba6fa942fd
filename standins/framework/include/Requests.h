#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "API/Base.h"

namespace API {
class Requests {
  public:
    ARK_API static Requests& Get();

    Requests(const Requests&) = delete;
    Requests(Requests&&) = delete;
    Requests& operator=(const Requests&) = delete;
    Requests& operator=(Requests&&) = delete;

    // Sends the request on a thread of the host's; `callback` is called once, later, on the
    // game thread: true when the server answered with a 2xx status, with the answer's body
    // and headers. The calling module owns the request: when it is unloaded, the callback is
    // dropped. False when the request cannot be made at all. An https:// server's certificate
    // is not checked: anyone between the server and the URL's host can read the request.
    ARK_API bool CreatePostRequest(
        const std::string& url,
        const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>&
            callback,
        const std::string& post_data, const std::string& content_type,
        std::vector<std::string> headers = {});

  private:
    Requests() = default;
    ~Requests() = default;
};
}  // namespace API
