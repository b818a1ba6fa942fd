#include "TestListener.h"

#include "LineSink.h"

namespace rcon_testing {

TestListener::TestListener(const std::string& password, const std::filesystem::path& recordFile)
    : sink_(std::make_shared<testing_support::LineSink>()) {
    gameserver::RconListenerOptions options;
    options.password = password;
    options.recordFile = recordFile;
    options.log = std::make_shared<spdlog::logger>("RCON", sink_);
    options.console = [](const std::string& command, int) -> gameserver::RconAnswer {
        if (command.starts_with("bytes ")) {
            return LongAnswer(std::stoul(command.substr(6)));
        }
        return command.starts_with("echo ") ? command.substr(5) : std::string();
    };
    listener_ = std::make_unique<gameserver::RconListener>(std::move(options));
    listener_->Start();
}

TestListener::~TestListener() {
    listener_->Stop();
}

std::vector<std::string> TestListener::LogLines() const {
    return sink_->Lines();
}

std::string TestListener::LongAnswer(std::size_t size) {
    std::string answer;
    for (std::size_t i = 0; answer.size() < size; ++i) {
        answer += std::to_string(i) + ' ';
    }
    answer.resize(size);
    return answer;
}

}  // namespace rcon_testing
