#include "Behaviour.h"

#include <array>
#include <cstdint>
#include <utility>

#include <nlohmann/json.hpp>

namespace webhook {
namespace {

constexpr std::array<std::pair<Answer, const char*>, 7> kNames{{
    {Answer::Discord, "204"},
    {Answer::BadRequest, "400"},
    {Answer::InvalidToken, "401"},
    {Answer::UnknownWebhook, "404"},
    {Answer::RateLimited, "429"},
    {Answer::ServerError, "500"},
    {Answer::Stall, "stall"},
}};

}  // namespace

std::optional<Answer> ParseAnswer(const std::string& text) {
    for (const auto& [answer, name] : kNames) {
        if (text == name) {
            return answer;
        }
    }
    return std::nullopt;
}

std::optional<Behaviour> ChangedBehaviour(const Behaviour& current, const std::string& body) {
    const auto change = nlohmann::json::parse(body, nullptr, false);
    Behaviour behaviour = current;
    bool valid = change.is_object();
    if (valid && change.contains("answer")) {
        const auto& name = change["answer"];
        const auto answer = ParseAnswer(name.is_string() ? name.get<std::string>() : "");
        valid = answer.has_value();
        behaviour.answer = answer.value_or(behaviour.answer);
    }
    if (valid && change.contains("retry_after")) {
        const auto& seconds = change["retry_after"];
        valid = seconds.is_number() && seconds.get<double>() >= 0;
        behaviour.retryAfterSeconds = valid ? seconds.get<double>() : 0;
    }
    if (valid && change.contains("times")) {
        const auto& times = change["times"];
        valid = times.is_number_integer() && times.get<std::int64_t>() >= 0 &&
                times.get<std::int64_t>() <= INT32_MAX;
        behaviour.times = valid ? static_cast<int>(times.get<std::int64_t>()) : 0;
    }
    if (!valid) {
        return std::nullopt;
    }
    return behaviour;
}

std::string AnswerName(Answer answer) {
    for (const auto& [candidate, name] : kNames) {
        if (candidate == answer) {
            return name;
        }
    }
    return "?";
}

}  // namespace webhook
