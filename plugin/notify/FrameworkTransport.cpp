#include "notify/FrameworkTransport.h"

#include <utility>

#include "base/Host.h"

namespace quorvane {

bool FrameworkTransport::Send(const DiscordRequest& request, Done done) {
    const std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>
        callback = [done = std::move(done)](bool success, std::string result,
                                            std::unordered_map<std::string, std::string> headers) {
            done(DiscordReply{success, std::move(result), std::move(headers), {}});
        };
    return API::Requests::Get().CreatePostRequest(request.Url, callback, request.Body,
                                                  request.ContentType, request.HeaderLines);
}

}  // namespace quorvane
