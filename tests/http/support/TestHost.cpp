#include "TestHost.h"

#include <mutex>
#include <random>

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/base_sink.h>

#include "API/Logger.h"
#include "Host/Runtime.h"

namespace http_testing {

class LineSink final : public spdlog::sinks::base_sink<std::mutex> {
  public:
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

  protected:
    void sink_it_(const spdlog::details::log_msg& message) override {
        spdlog::memory_buf_t formatted;
        formatter_->format(message, formatted);
        std::string line(formatted.data(), formatted.size());
        // "[AsaApi][info] text\n", or with the host's time stamp ahead once a plugin is
        // unloaded (the host then gives every shared sink its own formatter again).
        line = line.substr(line.find('['));
        line.erase(line.find_last_not_of("\r\n") + 1);
        lines_.push_back(line);
    }
    void flush_() override {}

  private:
    std::vector<std::string> lines_;
};

TestHost::TestHost(HostSettings settings) : sink_(std::make_shared<LineSink>()) {
    std::random_device random;
    dir_ = std::filesystem::temp_directory_path() /
           ("quorvane-http-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(dir_ / "ArkApi" / "Logs");
    asahost::Options options;
    options.serverDir = dir_;
    options.consoleSink = false;
    options.httpConnectTimeout = settings.connectTimeout;
    options.httpTotalTimeout = settings.totalTimeout;
    options.httpThreads = settings.threads;
    options.timeScale = settings.timeScale;
    asahost::Start(options);
    sink_->set_formatter(std::make_unique<spdlog::pattern_formatter>("[%n][%l] %v"));
    GetLogSinks().push_back(sink_);
    asahost::Log().sinks().push_back(sink_);  // the host's logger copied the sinks at Start
}

TestHost::~TestHost() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void TestHost::Stop() {
    if (running_) {
        running_ = false;
        asahost::Stop();
    }
}

std::vector<std::string> TestHost::Lines() const {
    return sink_->Lines();
}

}  // namespace http_testing
