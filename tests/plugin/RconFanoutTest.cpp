// One event over RCON: the client's arguments, the clients started and how they end, and
// what the log says of each server.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <thread>

#include "ArgvRecord.h"
#include "PluginHost.h"
#include "ServerDir.h"
#include "TestListener.h"
#include "notify/RconFanout.h"
#include "platform/Platform.h"

namespace {

using quorvane::RconJob;
using quorvane::RconTarget;
using Args = std::vector<std::string>;
namespace RconFanout = quorvane::RconFanout;

constexpr auto kWait = std::chrono::seconds(30);

TEST(ClientArgumentsTest, EveryValueExactlyAsConfigured) {
    EXPECT_EQ(
        quorvane::ClientArguments(R"(C:\rcon\mcrcon.exe)", {"127.0.0.1", 27020, "p w"},
                                  R"(The "Big" Drop\n)"),
        (Args{R"(C:\rcon\mcrcon.exe)", "-H127.0.0.1", "-P27020", "-pp w", R"(The "Big" Drop\n)"}));
    EXPECT_EQ(quorvane::ClientArguments("rcon", {"", -1, ""}, ""),
              (Args{"rcon", "-H", "-P-1", "-p", ""}));
    // The end of the options before a text a client would otherwise take for one.
    for (const std::string text : {"--", "-pvp zone event-", "-"}) {
        EXPECT_EQ(quorvane::ClientArguments("rcon", {"h", 1, "p", "S"}, text),
                  (Args{"rcon", "-Hh", "-P1", "-pp", "--", text}));
    }
}

class RconFanoutTest : public ::testing::Test {
  protected:
    ~RconFanoutTest() override {
        unsetenv("QUORVANE_ARGV_HANG");
        unsetenv("QUORVANE_ARGV_EXIT");
    }

    // The own server, Own, at 10.0.0.1, listed among the others.
    static RconJob Job(std::vector<RconTarget> targets) {
        RconJob job;
        job.EventId = "meteor";
        job.EventCommand = "StartEvent meteor 1 2 3";
        job.BroadcastText = R"(Meteor on "The Island"\nGo!)";
        job.ClientPath = RECORD_ARGS_FILE;
        job.Own = {"10.0.0.1", 27020, "own", "Own"};
        job.Targets = std::move(targets);
        return job;
    }

    void Deliver(RconJob job) {
        ASSERT_TRUE(RconFanout::Submit(std::move(job)));
        ASSERT_TRUE(RconFanout::WaitUntilIdle(kWait));
    }

    std::vector<Args> Started() const { return record_.Arguments(); }

    testing_support::PluginHost host_;
    testing_support::ArgvRecord record_{host_.Dir().Path() / "argv.jsonl"};
};

TEST_F(RconFanoutTest, TheOwnServerGetsTheCommandFirstThenEveryServerTheBroadcast) {
    Deliver(Job(
        {{"10.0.0.2", 27021, "a", "A"}, {"10.0.0.1", 27020, "own", "Own"}, {"", 0, "", "Empty"}}));
    auto started = Started();
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[0], (Args{"-H10.0.0.1", "-P27020", "-pown", "StartEvent meteor 1 2 3"}));
    // The broadcasts run side by side: any order.
    std::sort(started.begin() + 1, started.end());
    const std::string text = R"(Meteor on "The Island"\nGo!)";
    EXPECT_EQ(std::vector<Args>(started.begin() + 1, started.end()),
              (std::vector<Args>{{"-H", "-P0", "-p", text},
                                 {"-H10.0.0.1", "-P27020", "-pown", text},
                                 {"-H10.0.0.2", "-P27021", "-pa", text}}));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(RconFanoutTest, EachServerAMessageDidNotReachIsOneWarningWithItsReason) {
    struct Case {
        const char* what;
        const char* hang;
        const char* exit;
        std::string clientPath;
        Args lines;
    };
    const std::string missing = (host_.Dir().Path() / "no-such-client").string();
    const Case cases[] = {
        {"one server's client exits with 4",
         nullptr,
         "4@-H10.0.0.2",
         RECORD_ARGS_FILE,
         {"[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: exit "
          "code 4"}},
        {"the own server's clients exit with 4, both messages in one line",
         nullptr,
         "4@-H10.0.0.1",
         RECORD_ARGS_FILE,
         {"[Quorvane][warning] RCON event command and broadcast of event meteor to Own "
          "(10.0.0.1:27020) failed: exit code 4"}},
        {"one server's client hangs",
         "1@-H10.0.0.2",
         nullptr,
         RECORD_ARGS_FILE,
         {"[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: "
          "ended after 1 s"}},
        {"no client",
         nullptr,
         nullptr,
         missing,
         {"[Quorvane][warning] RCON event command and broadcast of event meteor to Own "
          "(10.0.0.1:27020) failed: client not found: " +
              missing,
          "[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: "
          "client not found: " +
              missing}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.hang != nullptr ? setenv("QUORVANE_ARGV_HANG", c.hang, 1)
                          : unsetenv("QUORVANE_ARGV_HANG");
        c.exit != nullptr ? setenv("QUORVANE_ARGV_EXIT", c.exit, 1)
                          : unsetenv("QUORVANE_ARGV_EXIT");
        host_.ClearLines();
        auto job = Job({{"10.0.0.1", 27020, "own", "Own"}, {"10.0.0.2", 27021, "a", "A"}});
        job.ClientPath = c.clientPath;
        // Ample for a client that ends by itself on a busy machine under a sanitizer.
        job.Deadline = c.hang != nullptr ? std::chrono::seconds(1) : std::chrono::seconds(30);
        Deliver(std::move(job));
        EXPECT_EQ(host_.PluginLines(), c.lines);
    }
}

TEST_F(RconFanoutTest, WithDebugEachServerReachedIsOneLine) {
    auto job = Job({{"10.0.0.1", 27020, "own", "Own"}, {"10.0.0.2", 27021, "a", "A"}});
    job.Debug = true;
    Deliver(std::move(job));
    EXPECT_EQ(host_.PluginLines(),
              (Args{"[Quorvane][info] RCON event command and broadcast of event meteor "
                    "delivered to Own (10.0.0.1:27020)",
                    "[Quorvane][info] RCON broadcast of event meteor delivered to A "
                    "(10.0.0.2:27021)"}));
}

// A server whose client never ends holds up no other: every other broadcast has gone out long
// before the hanging client's deadline.
TEST_F(RconFanoutTest, AHangingClientHoldsUpNoOtherServer) {
    setenv("QUORVANE_ARGV_HANG", "1@-H10.0.0.2", 1);
    std::vector<RconTarget> targets;
    for (int i = 0; i < 40; ++i) {
        targets.push_back({"10.0.1." + std::to_string(i), 27020, "pw", "S" + std::to_string(i)});
    }
    targets.insert(targets.begin(), {"10.0.0.2", 27021, "a", "A"});  // first in order
    auto job = Job(targets);
    job.Deadline = std::chrono::seconds(60);
    ASSERT_TRUE(RconFanout::Submit(std::move(job)));
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (Started().size() < 42 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(Started().size(), 42u);
    EXPECT_FALSE(RconFanout::WaitUntilIdle(std::chrono::milliseconds(0)));
    // Unloading ends it at once, and leaves no process behind.
    RconFanout::Stop();
    for (const auto& start : record_.Starts()) {
        EXPECT_TRUE(kill(start.pid, 0) != 0 && errno == ESRCH) << start.pid;
    }
    EXPECT_TRUE(host_.PluginLines().empty());
    RconFanout::Start();
}

// Through the bundled client to a listener: texts that once arrived changed, split or not at
// all, and a password with a blank.
TEST_F(RconFanoutTest, AwkwardTextsArriveUnchangedThroughTheBundledClient) {
    rcon_testing::TestListener listener("p w");
    const std::string texts[] = {R"(Warning " saveworld)",
                                 R"(ends in a backslash\)",
                                 R"(two \" and)",
                                 "-= Meteor =- incoming",
                                 "--",
                                 "-p x -H y",
                                 "-pvp zone event-",
                                 R"("quoted" and 'single' %PATH% $HOME `id` & | ; *)",
                                 R"(
 stays 
)",
                                 ""};
    for (const auto& text : texts) {
        RconJob job = Job({});
        job.ClientPath = RCON_CLIENT_FILE;
        job.Own = {"127.0.0.1", listener.Port(), "p w", "Own"};
        job.EventCommand = text;
        Deliver(std::move(job));
    }
    Args arrived;
    for (const auto& command : listener.Commands()) {
        arrived.push_back(command.command);
    }
    EXPECT_EQ(arrived, Args(std::begin(texts), std::end(texts)));
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(RconFanoutTest, NothingIsTakenOnceStoppedAndEventsNeedARunningService) {
    RconFanout::Stop();
    EXPECT_FALSE(RconFanout::Submit(Job({})));
    EXPECT_EQ(host_.PluginLines(), (Args{"[Quorvane][warning] Event meteor not started: RCON "
                                         "delivery is not running"}));
    RconFanout::Start();
    Deliver(Job({}));
    EXPECT_EQ(Started().size(), 1u);
}

}  // namespace

namespace {

// Whatever the bytes (1 to 255), the client gets exactly the arguments meant for it, the
// text as one argument: nothing in between splits, unescapes or runs them.
TEST(RunClientTest, RandomBytesArriveAsExactlyTheArgumentsMeant) {
    testing_support::ServerDir dir;
    testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
    std::mt19937 random(20261208);
    const auto randomText = [&] {
        std::string text(random() % 40, '\0');
        for (auto& byte : text) {
            // Half the time one of the characters that command lines treat specially.
            static const char special[] = "\"\\ \t-%^&|<>'$`*?;\r\n";
            byte = random() % 2 ? special[random() % (sizeof special - 1)]
                                : static_cast<char>(1 + random() % 255);
        }
        return text;
    };
    std::vector<Args> sent;
    for (int i = 0; i < 300; ++i) {
        const RconTarget target{randomText(), static_cast<int>(random() % 70000) - 1, randomText(),
                                "S"};
        Args arguments = quorvane::ClientArguments(RECORD_ARGS_FILE, target, randomText());
        const auto exit = quorvane::platform::RunClient(arguments, std::chrono::seconds(30));
        ASSERT_EQ(exit.kind, quorvane::platform::ClientExit::Kind::Exited) << exit.reason;
        arguments.erase(arguments.begin());
        sent.push_back(std::move(arguments));
    }
    EXPECT_EQ(record.Arguments(), sent);
}

}  // namespace
