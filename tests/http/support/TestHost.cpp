#include "TestHost.h"

#include <random>

#include "GameThread.h"
#include "Host/Runtime.h"
#include "LineSink.h"
#include "Logger/Logger.h"

namespace http_testing {

TestHost::TestHost(HostSettings settings) : sink_(std::make_shared<testing_support::LineSink>()) {
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
    GetLogSinks().push_back(sink_);
    asahost::Log().sinks().push_back(sink_);  // the host's logger copied the sinks at Start
    game_ = std::make_unique<testing_support::GameThread>();
}

TestHost::~TestHost() {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

void TestHost::Stop() {
    if (running_) {
        running_ = false;
        game_.reset();
        asahost::Stop();
    }
}

std::vector<std::string> TestHost::Lines() const {
    return sink_->Lines();
}

}  // namespace http_testing
