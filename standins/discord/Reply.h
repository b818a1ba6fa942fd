#pragma once
// The receiver's answer to a request, from what the request says, apart from the HTTP
// server, so that any request can be answered directly.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "Behaviour.h"

namespace webhook {

// Discord's paths, with or without an API version: /api/v10/webhooks/<id>/<token>.
inline constexpr const char* kWebhookPath = R"(/api(?:/v\d+)?/webhooks/([^/]+)/([^/]+))";

struct Reply {
    int status = 204;
    std::string body;  // JSON, or empty
    double retryAfter = -1;
};

// JSON as the receiver writes it: compact, with bad UTF-8 replaced rather than thrown on.
std::string JsonText(const nlohmann::json& value);
Reply JsonReply(int status, const nlohmann::json& body);

// A POST to a webhook path, as far as its answer depends on it.
struct WebhookPost {
    std::string webhookId;                  // the path's <id>
    std::vector<std::string> contentTypes;  // every Content-Type header
    std::string body;
    bool wantsMessage = false;            // ?wait=true
    std::optional<std::string> threadId;  // ?thread_id=
};

// Whether the ?wait= value asks for the created message instead of 204 (Discord's boolean
// query values).
bool WaitsForMessage(const std::string& wait);

// The answer to a post when it is not stalled.
Reply AnswerPost(const WebhookPost& post, const Behaviour& behaviour);
// The answer to any other request: 405 on a webhook path, else 404.
Reply AnswerOther(const std::string& path);

// The Retry-After header of a 429: whole seconds, rounded up, at most 2^31 (what a recipient
// must take any larger number of seconds as).
std::string RetryAfterValue(double seconds);

}  // namespace webhook
