#include "TestListener.h"

#include <mutex>
#include <sstream>

#include <spdlog/sinks/base_sink.h>

namespace rcon_testing {
namespace {

std::string LevelName(spdlog::level::level_enum level) {
    const auto name = spdlog::level::to_string_view(level);
    return std::string(name.data(), name.size());
}

}  // namespace

class LineSink final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        lines_.push_back("[" + std::string(message.logger_name.begin(), message.logger_name.end()) +
                         "][" + LevelName(message.level) + "] " +
                         std::string(message.payload.begin(), message.payload.end()));
    }
    void flush_() override {}

  private:
    std::vector<std::string> lines_;
};

TestListener::TestListener(const std::string& password, const std::filesystem::path& recordFile)
    : sink_(std::make_shared<LineSink>()) {
    gameserver::RconListenerOptions options;
    options.password = password;
    options.recordFile = recordFile;
    options.log = std::make_shared<spdlog::logger>("RCON", sink_);
    options.console = [](const std::string& command) {
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

}  // namespace rcon_testing
