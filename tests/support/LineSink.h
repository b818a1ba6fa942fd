#pragma once
// A log sink that keeps every line as "[logger][level] text", without time stamps, so that
// tests compare whole lines whatever formatter the host gives its sinks.

#include <mutex>
#include <string>
#include <vector>

#include <spdlog/sinks/base_sink.h>

namespace testing_support {

class LineSink final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        const auto level = spdlog::level::to_string_view(message.level);
        std::string line = "[";
        line.append(message.logger_name.begin(), message.logger_name.end());
        line.append("][").append(level.begin(), level.end()).append("] ");
        line.append(message.payload.begin(), message.payload.end());
        lines_.push_back(std::move(line));
    }
    void flush_() override {}

  private:
    std::vector<std::string> lines_;
};

}  // namespace testing_support
