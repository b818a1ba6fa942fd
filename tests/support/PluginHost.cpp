#include "PluginHost.h"

#include <mutex>

#include <spdlog/sinks/base_sink.h>

#include "GameMemory.h"
#include "GameStrings.h"
#include "Host/Runtime.h"
#include "Host/Timers.h"
#include "LogLines.h"
#include "Logger/Logger.h"
#include "base/PluginLog.h"

namespace testing_support {

class CaptureSink final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        text_.clear();
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(message, formatted);
        text_.append(formatted.data(), formatted.size());
    }
    void flush_() override {}

  private:
    std::string text_;
};

PluginHost::PluginHost(const Settings& settings) : sink_(std::make_shared<CaptureSink>()) {
    asahost::Options options;
    options.serverDir = dir_.Path();
    options.consoleSink = false;
    options.timeScale = settings.timeScale;
    options.httpTotalTimeout = settings.httpTotalTimeout;
    options.httpConnectTimeout = settings.httpTotalTimeout;
    options.httpThreads = settings.httpThreads;
    if (settings.hooksDoNotThrow) {
        dir_.WriteFile("config.json", R"({"settings": {"HooksDoNotThrow": true}})");
    }
    asahost::Start(options);
    GetLogSinks().push_back(sink_);
    gameserver::RegisterGameMemory();
    gameserver::RegisterGameStrings();
    quorvane::CreatePluginLog();
    game_ = std::make_unique<GameThread>();
}

PluginHost::~PluginHost() {
    game_.reset();
    asahost::Stop();
    quorvane::PluginLog().reset();
}

void PluginHost::AdvanceTimers(int gameSeconds) {
    game_->Run([gameSeconds] { asahost::AdvanceTimers(gameSeconds); });
}

std::vector<std::string> PluginHost::Lines() const {
    return LogLines(sink_->Text());
}
std::vector<std::string> PluginHost::PluginLines() const {
    return LogLinesOf(sink_->Text(), "Quorvane");
}
void PluginHost::ClearLines() {
    sink_->Clear();
}

}  // namespace testing_support
