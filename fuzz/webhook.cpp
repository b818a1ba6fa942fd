// The local Discord webhook receiver's handling of requests, the HTTP server aside: a change
// of how it answers (its control endpoint), its answer to a post and to any other request,
// and its record of them. Every answer is a status Discord gives with a JSON body (none for
// 204) and a Retry-After only with 429; a record is one JSON line; an accepted post prints
// as announcement lines.
// Input: five lines, then the post's body:
//   the body of a control request, {"answer": "429", "retry_after": 2.5} (empty: none)
//   the post's ?wait= value
//   the webhook id of the post's path
//   the post's Content-Type headers, separated by tabs (an empty line: none)
//   the path of a request of another method

#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Announcement.h"
#include "Check.h"
#include "Record.h"
#include "Reply.h"

namespace {

using fuzzing::Require;
using nlohmann::json;

std::string NextLine(std::string& input) {
    const auto end = input.find('\n');
    std::string line = input.substr(0, end);
    input.erase(0, end == std::string::npos ? input.size() : end + 1);
    return line;
}

std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    if (line.empty()) {
        return parts;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = line.find(separator, start)) != std::string::npos;
         start = end + 1) {
        parts.push_back(line.substr(start, end - start));
    }
    parts.push_back(line.substr(start));
    return parts;
}

bool IsJsonObject(const std::string& text) {
    return json::parse(text, nullptr, false).is_object();
}

bool IsUtf8(const std::string& text) {
    try {
        (void)json(text).dump();
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}

void CheckReply(const webhook::Reply& reply, const webhook::WebhookPost& post,
                const webhook::Behaviour& behaviour) {
    static const std::set<int> kDiscordStatuses{200, 204, 400, 401, 404, 429, 500};
    Require(kDiscordStatuses.contains(reply.status), "a status Discord does not give");
    Require(reply.body.empty() == (reply.status == 204), "a 204 with a body, or another without");
    Require(reply.body.empty() || IsJsonObject(reply.body), "a body that is not a JSON object");
    Require((reply.status == 429) == (reply.retryAfter >= 0), "Retry-After on the wrong answer");
    if (reply.status == 429) {
        const std::string header = webhook::RetryAfterValue(reply.retryAfter);
        Require(!header.empty() && header.find_first_not_of("0123456789") == std::string::npos,
                "a Retry-After that is not whole seconds");
    }
    if (reply.status == 200 || reply.status == 204) {
        Require(behaviour.answer == webhook::Answer::Discord ||
                    behaviour.answer == webhook::Answer::Stall,
                "a post accepted although told to fail");
        Require((reply.status == 200) == post.wantsMessage, "?wait=true not followed");
        // Accepted posts are what the demonstration shows.
        const std::string shown = webhook::FormatAnnouncement(post.body);
        std::istringstream lines(shown);
        for (std::string line; std::getline(lines, line);) {
            Require(line.starts_with("Discord | "), "an announcement line without its prefix");
        }
        Require(!shown.empty() && shown.back() == '\n', "an announcement without its line end");
    }
    if (reply.status == 200) {
        Require(json::parse(reply.body).value("webhook_id", "") == post.webhookId,
                "the created message names another webhook");
    }
}

void CheckRecord(const webhook::WebhookPost& post, const std::string& path, int status) {
    webhook::Record record{"POST", path, post.contentTypes, {}, post.body, status};
    for (const auto& type : post.contentTypes) {
        record.headers.emplace_back("Content-Type", type);
    }
    const std::string line = webhook::ToJsonLine(record);
    Require(line.find('\n') == std::string::npos, "a record of more than one line");
    const json read = json::parse(line, nullptr, false);
    Require(read.is_object(), "a record line that is not a JSON object");
    if (IsUtf8(post.body)) {
        Require(read.value("body", "") == post.body, "a record that changed the body");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    webhook::Behaviour behaviour;
    if (const std::string control = NextLine(input); !control.empty()) {
        behaviour = webhook::ChangedBehaviour(behaviour, control).value_or(behaviour);
        Require(behaviour.retryAfterSeconds >= 0, "a negative Retry-After taken");
    }
    webhook::WebhookPost post;
    post.wantsMessage = webhook::WaitsForMessage(NextLine(input));
    post.webhookId = NextLine(input);
    post.contentTypes = Split(NextLine(input), '\t');
    const std::string path = NextLine(input);
    post.body = input;

    const webhook::Reply reply = webhook::AnswerPost(post, behaviour);
    CheckReply(reply, post, behaviour);
    CheckRecord(post, "/api/webhooks/" + post.webhookId + "/token", reply.status);

    const webhook::Reply other = webhook::AnswerOther(path);
    Require((other.status == 404 || other.status == 405) && IsJsonObject(other.body),
            "another request answered wrongly");
    return 0;
}
