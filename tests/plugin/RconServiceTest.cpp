// One event over RCON. The service's rules (order, concurrency, deadlines, failures, threads,
// unloading) against a scripted environment, without processes; the system's own client runs
// against a recording client and the bundled one.

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "ArgvRecord.h"
#include "PluginHost.h"
#include "ScriptedClientEnv.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "TestListener.h"
#include "notify/RconService.h"
#include "platform/ClientEnv.h"

namespace {

using quorvane::RconJob;
using quorvane::RconService;
using quorvane::RconTarget;
using quorvane::platform::ClientExit;
using Args = std::vector<std::string>;
using Kind = ClientExit::Kind;
using testing_support::Scripted;
using testing_support::ScriptedEnv;

constexpr auto kWait = std::chrono::seconds(30);

TEST(ClientArgumentsTest, EveryValueExactlyAsConfigured) {
    EXPECT_EQ(
        quorvane::ClientArguments(R"(C:\rcon\mcrcon.exe)", {"127.0.0.1", 27020, "p w", "S"},
                                  R"(The "Big" Drop\n)"),
        (Args{R"(C:\rcon\mcrcon.exe)", "-H127.0.0.1", "-P27020", "-pp w", R"(The "Big" Drop\n)"}));
    EXPECT_EQ(quorvane::ClientArguments("rcon", {"", -1, "", "S"}, ""),
              (Args{"rcon", "-H", "-P-1", "-p", ""}));
    // The end of the options before a text a client would otherwise take for one.
    for (const std::string text : {"--", "-pvp zone event-", "-"}) {
        EXPECT_EQ(quorvane::ClientArguments("rcon", {"h", 1, "p", "S"}, text),
                  (Args{"rcon", "-Hh", "-P1", "-pp", "--", text}));
    }
}

class RconServiceTest : public ::testing::Test {
  protected:
    // The own server, Own, at 10.0.0.1, listed among the others.
    static RconJob Job(std::vector<RconTarget> targets) {
        RconJob job;
        job.EventId = "meteor";
        job.EventCommand = "StartEvent meteor 1 2 3";
        job.BroadcastText = R"(Meteor on "The Island"\nGo!)";
        job.ClientPath = "rcon";
        job.Own = {"10.0.0.1", 27020, "own", "Own"};
        job.Targets = std::move(targets);
        job.Deadline = std::chrono::seconds(10);
        return job;
    }
    static std::vector<RconTarget> Two() {
        return {{"10.0.0.1", 27020, "own", "Own"}, {"10.0.0.2", 27021, "a", "A"}};
    }

    void Deliver(RconJob job) {
        ASSERT_FALSE(service_.Submit(std::move(job)));
        ASSERT_TRUE(service_.WaitUntilIdle(kWait));
    }

    testing_support::PluginHost host_;
    ScriptedEnv* env_ = new ScriptedEnv;
    RconService service_{std::unique_ptr<ScriptedEnv>(env_)};
};

TEST_F(RconServiceTest, TheOwnServerGetsTheCommandFirstThenEveryServerTheBroadcast) {
    Deliver(Job(
        {{"10.0.0.2", 27021, "a", "A"}, {"10.0.0.1", 27020, "own", "Own"}, {"", 0, "", "Empty"}}));
    auto runs = env_->Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], (Args{"-H10.0.0.1", "-P27020", "-pown", "StartEvent meteor 1 2 3"}));
    // The broadcasts run side by side: any order.
    std::sort(runs.begin() + 1, runs.end());
    const std::string text = R"(Meteor on "The Island"\nGo!)";
    EXPECT_EQ(std::vector<Args>(runs.begin() + 1, runs.end()),
              (std::vector<Args>{{"-H", "-P0", "-p", text},
                                 {"-H10.0.0.1", "-P27020", "-pown", text},
                                 {"-H10.0.0.2", "-P27021", "-pa", text}}));
    EXPECT_TRUE(host_.PluginLines().empty());
    // A thread for each message that can go at once, no more.
    EXPECT_EQ(env_->ThreadsStarted(), 4);
}

TEST_F(RconServiceTest, EachServerAMessageDidNotReachIsOneWarningWithItsReason) {
    struct Case {
        const char* what;
        const char* argument;  // the runs that fail
        ClientExit exit;
        Args lines;
    };
    const Case cases[] = {
        {"one server's client exits with 4",
         "-H10.0.0.2",
         {Kind::Exited, 4, {}},
         {"[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: exit "
          "code 4"}},
        {"the own server's clients exit with 4, both messages in one line",
         "-H10.0.0.1",
         {Kind::Exited, 4, {}},
         {"[Quorvane][warning] RCON event command and broadcast of event meteor to Own "
          "(10.0.0.1:27020) failed: exit code 4"}},
        {"one server's client is ended at its deadline",
         "-H10.0.0.2",
         {Kind::TimedOut, 0, {}},
         {"[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: "
          "ended after 10 s"}},
        {"no client",
         "rcon",
         {Kind::NotStarted, 0, "client not found: rcon"},
         {"[Quorvane][warning] RCON event command and broadcast of event meteor to Own "
          "(10.0.0.1:27020) failed: client not found: rcon",
          "[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: "
          "client not found: rcon"}},
        {"killed by someone else",
         "-H10.0.0.2",
         {Kind::Signalled, 9, {}},
         {"[Quorvane][warning] RCON broadcast of event meteor to A (10.0.0.2:27021) failed: "
          "ended by signal 9"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        env_->Script(c.argument, {c.exit});
        host_.ClearLines();
        Deliver(Job(Two()));
        EXPECT_EQ(host_.PluginLines(), c.lines);
        env_->ForgetScripts();
    }
}

TEST_F(RconServiceTest, WithDebugEachServerReachedIsOneLine) {
    auto job = Job(Two());
    job.Debug = true;
    Deliver(std::move(job));
    EXPECT_EQ(host_.PluginLines(),
              (Args{"[Quorvane][info] RCON event command and broadcast of event meteor "
                    "delivered to Own (10.0.0.1:27020)",
                    "[Quorvane][info] RCON broadcast of event meteor delivered to A "
                    "(10.0.0.2:27021)"}));
}

// A server whose client never ends holds up no other; unloading ends it, with nothing to
// report, and what became of each server stays known.
TEST_F(RconServiceTest, AHangingClientHoldsUpNoOtherServerAndUnloadingEndsIt) {
    env_->Script("-H10.0.0.2", {{}, /*hang=*/true});
    std::vector<RconTarget> targets;
    for (int i = 0; i < 40; ++i) {
        targets.push_back({"10.0.1." + std::to_string(i), 27020, "pw", "S" + std::to_string(i)});
    }
    targets.insert(targets.begin(), {"10.0.0.2", 27021, "a", "A"});  // first in order
    ASSERT_FALSE(service_.Submit(Job(targets)));
    ASSERT_TRUE(env_->WaitForRuns(42));
    EXPECT_FALSE(service_.WaitUntilIdle(std::chrono::milliseconds(0)));
    // At most 16 at a time: the hanging one held a thread throughout.
    EXPECT_EQ(env_->ThreadsStarted(), 16);
    service_.Stop();
    EXPECT_TRUE(host_.PluginLines().empty());
    EXPECT_EQ(service_.Submit(Job({})), "RCON delivery is stopping");
    EXPECT_EQ(host_.PluginLines(), (Args{"[Quorvane][warning] Event meteor not started: RCON "
                                         "delivery is stopping"}));
}

// Unloading with messages still running or waiting still ends the event's delivery, and
// none of those messages counts as delivered; an event whose own command was still waiting
// names every server it did not reach.
TEST_F(RconServiceTest, AnEventCutOffByUnloadingIsDoneAndNotDelivered) {
    std::vector<std::map<std::string, std::string>> finished;
    service_.OnFinished([&](const RconJob&, const std::map<std::string, std::string>& sent) {
        finished.push_back(sent);
    });
    std::vector<RconTarget> targets;
    for (int i = 0; i < 20; ++i) {
        const std::string address = "10.0.1." + std::to_string(i);
        env_->Script("-H" + address, {{}, /*hang=*/true});
        targets.push_back({address, 27020, "pw", "S" + std::to_string(i)});
    }
    ASSERT_FALSE(service_.Submit(Job(targets)));
    ASSERT_TRUE(env_->WaitForRuns(17));         // the own server's, then 16 that hang; 4 wait
    ASSERT_FALSE(service_.Submit(Job(Two())));  // its own command waits too
    service_.Stop();
    ASSERT_EQ(finished.size(), 2u);
    std::map<std::string, std::string> expected{{"Own", "delivered"}};
    for (const auto& target : targets) {
        expected[target.ServerKey] = "cut off by unloading";
    }
    EXPECT_EQ(finished[0], expected);
    EXPECT_EQ(finished[1], (std::map<std::string, std::string>{{"A", "cut off by unloading"},
                                                               {"Own", "cut off by unloading"}}));
    EXPECT_EQ(host_.PluginLines(), Args{"[Quorvane][info] Unloading: 5 RCON message(s) not sent"});
}

// The own server's command still running at unloading: its broadcasts were never handed out,
// and each server is named as not reached.
TEST_F(RconServiceTest, AnEventWhoseOwnCommandRunsAtUnloadingNamesEveryServer) {
    std::vector<std::map<std::string, std::string>> finished;
    service_.OnFinished([&](const RconJob&, const std::map<std::string, std::string>& sent) {
        finished.push_back(sent);
    });
    env_->Script("-H10.0.0.9", {{}, /*hang=*/true});
    auto job = Job(Two());
    job.Own = {"10.0.0.9", 27020, "own", "Own"};
    ASSERT_FALSE(service_.Submit(std::move(job)));
    ASSERT_TRUE(env_->WaitForRuns(1));
    service_.Stop();
    EXPECT_EQ(finished, (std::vector<std::map<std::string, std::string>>{
                            {{"A", "cut off by unloading"}, {"Own", "cut off by unloading"}}}));
}

TEST_F(RconServiceTest, LastDeliveriesSayWhatBecameOfEachServer) {
    env_->Script("-H10.0.0.2", {{Kind::Exited, 4, {}}});
    Deliver(Job(Two()));
    const auto last = service_.LastDeliveries();
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last[0].ServerKey, "A");
    EXPECT_EQ(last[0].Address, "10.0.0.2:27021");
    EXPECT_EQ(last[0].Outcome, "exit code 4");
    EXPECT_EQ(last[1].ServerKey, "Own");
    EXPECT_EQ(last[1].Outcome, "delivered");
}

// A thread that cannot start is a warning and, when none runs at all, an event not started;
// never a hang, and the next event goes out once threads start again.
TEST_F(RconServiceTest, AThreadThatCannotStartIsAWarningNeverAHang) {
    env_->RefuseThreads(100);
    EXPECT_EQ(service_.Submit(Job(Two())),
              "no thread for the RCON delivery could be started: no more threads");
    EXPECT_EQ(host_.PluginLines(),
              (Args{"[Quorvane][warning] Event meteor not started: no thread for the RCON "
                    "delivery could be started: no more threads"}));
    EXPECT_TRUE(env_->Runs().empty());

    host_.ClearLines();
    env_->RefuseThreads(0);
    Deliver(Job({}));  // one thread: enough for the own server alone
    env_->RefuseThreads(100);
    Deliver(Job(Two()));  // a second thread is refused: the first carries both broadcasts
    Deliver(Job(Two()));  // refused again: said once until a start succeeds
    EXPECT_EQ(env_->Runs().size(), 7u);
    const Args goesOn{
        "[Quorvane][warning] RCON delivery goes on with 1 thread(s); no more could "
        "be started: no more threads"};
    EXPECT_EQ(host_.PluginLines(), goesOn);
    env_->RefuseThreads(0);
    Deliver(Job(Two()));  // a start succeeded
    env_->RefuseThreads(100);
    Deliver(Job(std::vector<RconTarget>(20, {"10.0.0.3", 27022, "b", "B"})));  // refused again
    const auto lines = host_.PluginLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], goesOn[0]);
    EXPECT_TRUE(lines[1].starts_with("[Quorvane][warning] RCON delivery goes on with ") &&
                lines[1].ends_with(" thread(s); no more could be started: no more threads"))
        << lines[1];
}

// An exception inside a client run is an error line with the server, and the service goes on.
TEST_F(RconServiceTest, AnExceptionInAClientRunIsLoggedAndTheNextEventIsDelivered) {
    env_->Script("-H10.0.0.2", {{}, false, /*raise=*/true});
    Deliver(Job(Two()));
    EXPECT_EQ(host_.PluginLines(), (Args{"[Quorvane][error] Error sending rcon command: out of "
                                         "handles (event meteor to A)"}));
    EXPECT_EQ(service_.LastDeliveries().at(0).Outcome, "error: out of handles");

    host_.ClearLines();
    env_->ForgetScripts();
    Deliver(Job(Two()));
    EXPECT_EQ(env_->Runs().size(), 6u);
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(RconServiceTest, TooMuchWaitingRefusesTheEvent) {
    env_->Script("-H10.0.0.3", {{}, /*hang=*/true});
    const std::size_t broadcasts = RconService::kMaxWaiting + 20;
    ASSERT_FALSE(
        service_.Submit(Job(std::vector<RconTarget>(broadcasts, {"10.0.0.3", 1, "p", "M"}))));
    // The own server's run, then a broadcast on every thread, each hanging.
    ASSERT_TRUE(env_->WaitForRuns(1 + RconService::kMaxClients));
    const std::string waiting = std::to_string(broadcasts - RconService::kMaxClients);
    EXPECT_EQ(service_.Submit(Job({})), waiting + " RCON messages are waiting already");
    service_.Stop();
    EXPECT_EQ(host_.PluginLines().back(),
              "[Quorvane][info] Unloading: " + waiting + " RCON message(s) not sent");
}

// The system's own client runs, with a client that records its arguments.
class SystemClientEnvTest : public ::testing::Test {
  protected:
    ~SystemClientEnvTest() override {
        unsetenv("QUORVANE_ARGV_HANG");
        unsetenv("QUORVANE_ARGV_EXIT");
    }
    testing_support::ServerDir dir_;
    testing_support::ArgvRecord record_{dir_.Path() / "argv.jsonl"};
    std::unique_ptr<quorvane::platform::ClientEnv> env_ = quorvane::platform::SystemClientEnv();
};

TEST_F(SystemClientEnvTest, EachWayARunEnds) {
    const std::string missing = (dir_.Path() / "no-such-client").string();
    struct Case {
        const char* what;
        const char* hang;
        const char* exit;
        std::string client;
        ClientExit expected;
    };
    const Case cases[] = {
        {"exits by itself", nullptr, "7", RECORD_ARGS_FILE, {Kind::Exited, 7, {}}},
        {"never ends", "1", nullptr, RECORD_ARGS_FILE, {Kind::TimedOut, 0, {}}},
        {"no such file",
         nullptr,
         nullptr,
         missing,
         {Kind::NotStarted, 0, "client not found: " + missing}},
        {"no path", nullptr, nullptr, "", {Kind::NotStarted, 0, "no client path"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.hang != nullptr ? setenv("QUORVANE_ARGV_HANG", c.hang, 1)
                          : unsetenv("QUORVANE_ARGV_HANG");
        c.exit != nullptr ? setenv("QUORVANE_ARGV_EXIT", c.exit, 1)
                          : unsetenv("QUORVANE_ARGV_EXIT");
        const auto exit = env_->RunClient({c.client, "x"}, std::chrono::seconds(1));
        EXPECT_EQ(exit.kind, c.expected.kind);
        EXPECT_EQ(exit.code, c.expected.code);
        EXPECT_EQ(exit.reason, c.expected.reason);
    }
    EXPECT_EQ(
        env_->RunClient({RECORD_ARGS_FILE, std::string("a\0b", 3)}, std::chrono::seconds(1)).reason,
        "an argument holds a NUL byte");
    // No process outlives its run.
    for (const auto& start : record_.Starts()) {
        EXPECT_TRUE(kill(start.pid, 0) != 0 && errno == ESRCH) << start.pid;
    }
}

TEST_F(SystemClientEnvTest, EndingTheClientsEndsAWaitingOneAtOnceAndStartsNoMore) {
    setenv("QUORVANE_ARGV_HANG", "1", 1);
    std::thread waiting([&] {
        EXPECT_EQ(env_->RunClient({RECORD_ARGS_FILE}, std::chrono::seconds(600)).kind, Kind::Ended);
    });
    for (int i = 0; i < 3000 && record_.Starts().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(record_.Starts().size(), 1u);
    env_->EndClients();
    waiting.join();
    EXPECT_EQ(env_->RunClient({RECORD_ARGS_FILE}, std::chrono::seconds(1)).kind, Kind::Ended);
    EXPECT_EQ(record_.Starts().size(), 1u);
    const pid_t pid = record_.Starts()[0].pid;
    EXPECT_TRUE(kill(pid, 0) != 0 && errno == ESRCH) << pid;
}

// Through the bundled client and the built-in one side by side to a listener: texts that once
// arrived changed, split or not at all, the broadcast's line feed as the two characters \n, a
// password with a blank; and for one of them the very packets, login and command.
TEST(BothClientsTest, AwkwardTextsArriveByteForByteTheSame) {
    testing_support::PluginHost host;
    RconService service(quorvane::platform::SystemClientEnv());
    const std::string texts[] = {R"(Warning " saveworld)",
                                 R"(ends in a backslash\)",
                                 R"(two \" and)",
                                 R"(ServerChat Meteor on "The Island"\nGo!)",
                                 "-= Meteor =- incoming",
                                 "--",
                                 "--help",
                                 "-p x -H y",
                                 "-pvp zone event-",
                                 R"("quoted" and 'single' %PATH% $HOME `id` & | ; *)",
                                 R"(
 stays 
)",
                                 ""};
    const auto send = [&](quorvane::RconClientKind client, int port, const std::string& text) {
        RconJob job;
        job.EventId = "meteor";
        job.Client = client;
        job.ClientPath = RCON_CLIENT_FILE;
        job.Own = {"127.0.0.1", port, "p w", "Own"};
        job.EventCommand = text;
        job.Deadline = kWait;
        ASSERT_FALSE(service.Submit(std::move(job)));
        ASSERT_TRUE(service.WaitUntilIdle(kWait));
    };
    std::map<quorvane::RconClientKind, std::vector<rcon::Packet>> packets;
    for (const auto client :
         {quorvane::RconClientKind::External, quorvane::RconClientKind::Builtin}) {
        SCOPED_TRACE(client == quorvane::RconClientKind::Builtin ? "built-in" : "bundled");
        rcon_testing::TestListener listener("p w");
        for (const auto& text : texts) {
            send(client, listener.Port(), text);
        }
        Args arrived;
        for (const auto& command : listener.Commands()) {
            arrived.push_back(command.command);
        }
        EXPECT_EQ(arrived, Args(std::begin(texts), std::end(texts)));

        rcon_testing::ScriptedServer recorder([&](rcon_testing::ScriptPeer& peer) {
            const auto login = peer.Read();
            peer.Send({login.id, rcon::kAuthResponse, ""});
            const auto command = peer.Read();
            peer.Send({command.id, rcon::kResponseValue, "ok"});
            packets[client] = {login, command};
            peer.WaitForClose();
        });
        send(client, recorder.Port(), "-pvp zone event-");
        EXPECT_EQ(recorder.Finish(), "");
    }
    EXPECT_EQ(packets[quorvane::RconClientKind::Builtin],
              packets[quorvane::RconClientKind::External]);
    EXPECT_EQ(packets[quorvane::RconClientKind::Builtin].size(), 2u);
    EXPECT_TRUE(host.PluginLines().empty());
}

// Whatever the bytes (1 to 255), the client gets exactly the arguments meant for it, the
// text as one argument: nothing in between splits, unescapes or runs them.
TEST(RunClientTest, RandomBytesArriveAsExactlyTheArgumentsMeant) {
    testing_support::ServerDir dir;
    testing_support::ArgvRecord record(dir.Path() / "argv.jsonl");
    const auto env = quorvane::platform::SystemClientEnv();
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
        const auto exit = env->RunClient(arguments, std::chrono::seconds(30));
        ASSERT_EQ(exit.kind, Kind::Exited) << exit.reason;
        arguments.erase(arguments.begin());
        sent.push_back(std::move(arguments));
    }
    EXPECT_EQ(record.Arguments(), sent);
}

}  // namespace
