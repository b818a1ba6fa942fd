#include "Behaviour.h"

#include <array>
#include <utility>

namespace webhook {
namespace {

constexpr std::array<std::pair<Answer, const char*>, 5> kNames{{
    {Answer::Discord, "204"},
    {Answer::BadRequest, "400"},
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

std::string AnswerName(Answer answer) {
    for (const auto& [candidate, name] : kNames) {
        if (candidate == answer) {
            return name;
        }
    }
    return "?";
}

}  // namespace webhook
