// Unloading a plugin drops its requests: a test module, installed as admins install plugins,
// posts one request when the host's loader loads it; the host runs its completion on the game
// thread, never calls into it once it is unloaded, and has let go of it by then. Loading and
// unloading happen on the game thread, as in the framework.

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "GameThread.h"

#include "Completions.h"
#include "Host/PluginLoader.h"
#include "ModuleHooks.h"
#include "Receiver.h"
#include "TestHost.h"

namespace {

using http_testing::Completions;
using http_testing::HostSettings;
using http_testing::Post;
using http_testing::TestHost;
using webhook::Answer;
namespace hooks = http_testing::module_hooks;

constexpr auto kWait = std::chrono::seconds(30);
const std::string kDropped = "[AsaApi][info] Requests: 1 request(s) of PostOnLoad.so dropped";

class RequestUnloadTest : public testing::Test {
  protected:
    void Start(Answer answer, HostSettings settings = {}) {
        webhook::ReceiverOptions options;
        options.behaviour.answer = answer;
        receiver_ = std::make_unique<webhook::Receiver>(options);
        receiver_->Start();
        url_ = receiver_->BaseUrl() + "/api/webhooks/1/token";
        hooks::Reset(url_);
        host_ = std::make_unique<TestHost>(settings);
        const auto folder = host_->Dir() / "ArkApi" / "Plugins" / "PostOnLoad";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(HTTP_TEST_MODULE_FILE, folder / "PostOnLoad.so");
        std::ofstream(folder / "PluginInfo.json")
            << R"({"FullName": "PostOnLoad", "Version": 1, "MinApiVersion": 1.0})";
    }

    void Load() {
        host_->Game().Run([] { asahost::LoadPlugins(); });
    }
    void Unload() {
        host_->Game().Run([] { asahost::UnloadPlugins(); });
    }

    bool Logged(const std::string& line) const {
        const auto lines = host_->Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    void TearDown() override {
        host_.reset();
        receiver_.reset();
    }

    std::unique_ptr<webhook::Receiver> receiver_;
    std::unique_ptr<TestHost> host_;
    std::string url_;
};

TEST_F(RequestUnloadTest, ALoadedModuleGetsItsCompletionOnTheGameThread) {
    Start(Answer::Discord);
    Load();
    ASSERT_TRUE(hooks::WaitForCompletion(kWait));
    EXPECT_EQ(hooks::CompletionThread(), host_->Game().Id());
    Unload();
    EXPECT_EQ(hooks::Completions(), 1);
    EXPECT_EQ(hooks::Released(), 1);
    EXPECT_FALSE(Logged(kDropped));
}

TEST_F(RequestUnloadTest, UnloadingAbortsAnInFlightRequest) {
    HostSettings settings;
    settings.threads = 1;
    settings.totalTimeout = std::chrono::seconds(2);
    Start(Answer::Stall, settings);
    Load();
    ASSERT_TRUE(receiver_->WaitForArrivals(1, kWait));
    Unload();
    EXPECT_EQ(hooks::Released(), 1);
    EXPECT_TRUE(Logged(kDropped));
    // Left alone, the module's request would have timed out and completed before this one,
    // which the only thread takes after it.
    Completions probe;
    ASSERT_TRUE(Post(url_, probe));
    ASSERT_TRUE(probe.WaitFor(1, kWait));
    EXPECT_FALSE(probe.Calls()[0].success);
    host_->Stop();
    EXPECT_EQ(hooks::Completions(), 0);
}

TEST_F(RequestUnloadTest, UnloadingDropsAQueuedRequestAndOnlyThatModulesRequests) {
    HostSettings settings;
    settings.threads = 1;
    settings.totalTimeout = std::chrono::seconds(2);
    Start(Answer::Stall, settings);
    Completions first;
    ASSERT_TRUE(Post(url_, first));  // holds the only thread
    ASSERT_TRUE(receiver_->WaitForArrivals(1, kWait));
    Load();  // the module's request waits in the queue
    Unload();
    EXPECT_EQ(hooks::Released(), 1);
    EXPECT_TRUE(Logged(kDropped));
    ASSERT_TRUE(first.WaitFor(1, kWait));  // the test's own request went on
    Completions second;
    ASSERT_TRUE(Post(url_, second));
    ASSERT_TRUE(second.WaitFor(1, kWait));
    host_->Stop();
    EXPECT_EQ(hooks::Completions(), 0);
    // Only the test's two requests were ever sent: the receiver answers what it holds when
    // it stops.
    receiver_->Stop();
    EXPECT_EQ(receiver_->Records().size(), 2u);
}

TEST_F(RequestUnloadTest, AnAnswerWhoseCompletionHasNotRunIsDroppedWithIt) {
    Start(Answer::Discord);
    // All on the game thread, so that no tick can run the completion in between: the answer
    // arrives and waits for the next tick, which comes after the unload.
    host_->Game().Run([&] {
        asahost::LoadPlugins();
        ASSERT_TRUE(receiver_->WaitForRecords(1, kWait));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        asahost::UnloadPlugins();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ticks that find nothing
    EXPECT_EQ(hooks::Completions(), 0);
    EXPECT_EQ(hooks::Released(), 1);
    EXPECT_TRUE(Logged(kDropped));
}

}  // namespace
