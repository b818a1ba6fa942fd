#include "ReceiverArgs.h"

#include <charconv>
#include <stdexcept>

namespace webhook {
namespace {

template <class Number>
Number ParseNumber(const std::string& option, const std::string& text, Number low, Number high) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw std::invalid_argument("bad value for " + option + ": '" + text + "'");
    }
    return value;
}

}  // namespace

const char* const kReceiverUsage =
    "usage: webhook-receiver [--port=N] [--record=FILE] [--answer=204|400|401|404|429|500|stall] "
    "[--retry-after=SECONDS]";

ReceiverOptions ParseReceiverArgs(const std::vector<std::string>& arguments) {
    ReceiverOptions options;
    for (const auto& argument : arguments) {
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
        if (equals == std::string::npos) {
            throw std::invalid_argument("unknown argument '" + argument + "'");
        } else if (name == "--port") {
            options.port = ParseNumber(name, value, 0, 65535);
        } else if (name == "--record") {
            if (value.empty()) {
                throw std::invalid_argument("--record needs a file name");
            }
            options.recordFile = value;
        } else if (name == "--answer") {
            const auto answer = ParseAnswer(value);
            if (!answer) {
                throw std::invalid_argument("bad value for --answer: '" + value + "'");
            }
            options.behaviour.answer = *answer;
        } else if (name == "--retry-after") {
            options.behaviour.retryAfterSeconds = ParseNumber(name, value, 0.0, 86400.0);
        } else {
            throw std::invalid_argument("unknown argument '" + argument + "'");
        }
    }
    return options;
}

}  // namespace webhook
