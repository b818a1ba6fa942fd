#pragma once
// How the receiver answers webhook posts: like Discord, or with a forced failure.

#include <optional>
#include <string>

namespace webhook {

enum class Answer {
    Discord,         // "204": 204 for a valid post (200 with ?wait=true), 400 for an invalid one
    BadRequest,      // "400"
    InvalidToken,    // "401": a wrong token, Discord's code 50027
    UnknownWebhook,  // "404": a deleted webhook, Discord's code 10015
    RateLimited,     // "429", with Retry-After and a retry_after body
    ServerError,     // "500"
    Stall,           // "stall": holds the request unanswered until the receiver stops
};

struct Behaviour {
    Answer answer = Answer::Discord;
    double retryAfterSeconds = 1.5;
    // How many posts get `answer` before the receiver answers like Discord again; 0: all.
    int times = 0;
};

// A control request's body, {"answer": "204|400|401|404|429|500|stall", "retry_after":
// seconds, "times": posts}, each optional, applied to `current`; nothing for any other body.
std::optional<Behaviour> ChangedBehaviour(const Behaviour& current, const std::string& body);

// "204", "400", "401", "404", "429", "500", "stall"; nothing for anything else.
std::optional<Answer> ParseAnswer(const std::string& text);
std::string AnswerName(Answer answer);

}  // namespace webhook
