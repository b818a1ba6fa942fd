#include "Reply.h"

#include <algorithm>
#include <cmath>
#include <regex>

#include <nlohmann/json.hpp>

#include "DiscordRules.h"

namespace webhook {
namespace {

using nlohmann::json;

bool IsSnowflake(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

Reply NotSnowflake(const char* name, const std::string& value) {
    json errors;
    errors[name]["_errors"].push_back(
        {{"code", "NUMBER_TYPE_COERCE"}, {"message", "Value \"" + value + "\" is not snowflake."}});
    return JsonReply(400, {{"code", 50035}, {"errors", errors}, {"message", "Invalid Form Body"}});
}

}  // namespace

std::string JsonText(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

Reply JsonReply(int status, const json& body) {
    return {status, JsonText(body)};
}

bool WaitsForMessage(const std::string& wait) {
    return wait == "true" || wait == "True" || wait == "1";
}

Reply AnswerPost(const WebhookPost& post, const Behaviour& behaviour) {
    const std::string& id = post.webhookId;
    if (!IsSnowflake(id)) {
        return NotSnowflake("webhook_id", id);
    }
    if (post.threadId && !IsSnowflake(*post.threadId)) {
        return NotSnowflake("thread_id", *post.threadId);
    }
    switch (behaviour.answer) {
        case Answer::BadRequest:
            return JsonReply(400, {{"message", "400: Bad Request"}, {"code", 0}});
        case Answer::InvalidToken:
            return JsonReply(401, {{"message", "Invalid Webhook Token"}, {"code", 50027}});
        case Answer::UnknownWebhook:
            return JsonReply(404, {{"message", "Unknown Webhook"}, {"code", 10015}});
        case Answer::RateLimited: {
            Reply reply = JsonReply(429, {{"message", "You are being rate limited."},
                                          {"retry_after", behaviour.retryAfterSeconds},
                                          {"global", false}});
            reply.retryAfter = behaviour.retryAfterSeconds;
            return reply;
        }
        case Answer::ServerError:
            return JsonReply(500, {{"message", "500: Internal Server Error"}, {"code", 0}});
        default:
            break;
    }
    const Verdict verdict = CheckPost(post.contentTypes, post.body);
    if (verdict.status != 204) {
        return {verdict.status, verdict.error};
    }
    if (!post.wantsMessage) {
        return {};
    }
    // The created message, as far as the post tells it.
    const json message = json::parse(post.body);
    const auto content = message.find("content");
    return JsonReply(
        200, {{"id", "1"},
              {"type", 0},
              {"channel_id", "1"},
              {"webhook_id", id},
              {"content", content != message.end() && content->is_string() ? *content : json("")},
              {"embeds", message.value("embeds", json::array())}});
}

Reply AnswerOther(const std::string& path) {
    // Built once: building it costs far more than matching.
    static const std::regex webhookPath(kWebhookPath);
    return std::regex_match(path, webhookPath)
               ? JsonReply(405, {{"message", "405: Method Not Allowed"}, {"code", 0}})
               : JsonReply(404, {{"message", "404: Not Found"}, {"code", 0}});
}

std::string RetryAfterValue(double seconds) {
    // The control endpoint takes any JSON number from 0; a cast of one beyond long is undefined.
    constexpr double kLongest = 2147483648.0;
    const double whole = seconds > 0 ? std::min(std::ceil(seconds), kLongest) : 0;
    return std::to_string(static_cast<long long>(whole));
}

}  // namespace webhook
