// The built-in RCON client: each way a message ends against the stand-in's listener and peers
// that misbehave, and the delivery's rules with it: a silent server costs only itself, unloading
// ends what is in flight at once, and no process is started.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <regex>

#include "BackgroundProcess.h"
#include "ClientRun.h"
#include "PluginHost.h"
#include "ScriptedClientEnv.h"
#include "ScriptedServer.h"
#include "SilentServer.h"
#include "TestListener.h"
#include "notify/BuiltinSender.h"
#include "notify/RconService.h"

namespace {

using namespace std::chrono_literals;
using quorvane::RconClientKind;
using quorvane::RconJob;
using quorvane::RconService;
using quorvane::RconTarget;
using quorvane::platform::ClientExit;
using rcon_testing::AcceptLogin;
using rcon_testing::ScriptedServer;
using rcon_testing::ScriptPeer;
using Kind = ClientExit::Kind;
using Lines = std::vector<std::string>;

RconTarget Local(int port, const std::string& password = "secret") {
    return {"127.0.0.1", port, password, "S"};
}

TEST(BuiltinClientTest, AWholeAnswerOrAFailureNamedAsAPersonWould) {
    rcon_testing::TestListener listener;
    quorvane::platform::Sockets sockets;
    struct Case {
        const char* what;
        RconTarget target;
        std::string text;
        std::string reason;  // empty: delivered
        std::string answer;
    };
    const Case cases[] = {
        {"an answer of 10 kB, in three packets", Local(listener.Port()), "bytes 10000", "",
         rcon_testing::TestListener::LongAnswer(10000)},
        {"a command that prints nothing", Local(listener.Port()), "ServerChat hello", "",
         "Server received, But no response!! \n "},
        {"a wrong password", Local(listener.Port(), "guess"), "x", "wrong password", ""},
        {"nothing behind the port", Local(rcon_testing::UnusedPort()), "x",
         "no connection: Connection refused", ""},
        {"no port", Local(0), "x", "no connection: port 0 is not from 1 to 65535", ""},
        {"a text longer than a packet", Local(listener.Port()), std::string(4087, 'x'),
         "the command is 4087 bytes; one packet holds at most 4086", ""},
        {"a NUL, where the server would cut the text", Local(listener.Port()),
         std::string("Broadcast a\0b", 13), "the text holds a NUL byte", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto outcome = quorvane::SendBuiltin(sockets, c.target, c.text, 10s);
        EXPECT_EQ(outcome.exit.kind, c.reason.empty() ? Kind::Exited : Kind::Failed);
        EXPECT_EQ(outcome.exit.code, 0);
        EXPECT_EQ(outcome.exit.reason, c.reason);
        EXPECT_EQ(outcome.answer.size(), c.answer.size());
        EXPECT_TRUE(outcome.answer == c.answer);
    }
    std::vector<std::string> arrived;
    for (const auto& command : listener.Commands()) {
        arrived.push_back(command.command);
    }
    EXPECT_EQ(arrived, (Lines{"bytes 10000", "ServerChat hello"}));
}

// What no real server should do, and what a server starting up or hanging does.
TEST(BuiltinClientTest, APeerThatMisbehavesEndsTheMessageWithItsReason) {
    struct Case {
        const char* what;
        ScriptedServer::Script script;
        std::string reason;
    };
    const auto command = [](ScriptPeer& peer) {
        AcceptLogin(peer);
        return peer.Read();
    };
    const Case cases[] = {
        {"accepts and never answers",
         [](ScriptPeer& peer) {
             peer.Read();
             peer.WaitForClose();
         },
         "no answer in 0.3 s (at authentication)"},
        {"closes at the login", [](ScriptPeer& peer) { peer.Read(); },
         "connection closed by the server"},
        {"never answers the command",
         [&](ScriptPeer& peer) {
             command(peer);
             peer.WaitForClose();
         },
         "no answer in 0.3 s (after the command)"},
        {"closes after authentication", [&](ScriptPeer& peer) { command(peer); },
         "connection closed by the server"},
        {"an answer of the command's id and another type",
         [&](ScriptPeer& peer) {
             const auto request = command(peer);
             peer.Send({request.id, rcon::kAuthResponse, "not an answer"});
             peer.WaitForClose();
         },
         "protocol error: unexpected packet (id 2, type 2) instead of the reply to the command"},
        {"an answer beyond 1 MiB",
         [&](ScriptPeer& peer) {
             const auto request = command(peer);
             const auto full = rcon::Encode(
                 {request.id, rcon::kResponseValue, std::string(rcon::kMaxBodySize, 'f')});
             std::string flood;
             for (std::size_t i = 0; i <= quorvane::kMaxRconAnswer / rcon::kMaxBodySize; ++i) {
                 flood += full;
             }
             try {
                 peer.Write(flood);
             } catch (const std::exception&) {
                 // the client stopped reading at its limit and closed
             }
             peer.WaitForClose();
         },
         "protocol error: the reply to the command is longer than 1048576 bytes"},
        {"not RCON at all",
         [](ScriptPeer& peer) {
             peer.Write("HTTP/1.1 400 Bad Request\r\n\r\n");
             peer.WaitForClose();
         },
         "protocol error: packet size 1347703880 is outside 10..1048576"},
    };
    quorvane::platform::Sockets sockets;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedServer server(c.script);
        const auto outcome = quorvane::SendBuiltin(sockets, Local(server.Port()), "x", 300ms);
        EXPECT_EQ(outcome.exit.kind, c.reason.empty() ? Kind::Exited : Kind::Failed);
        EXPECT_EQ(outcome.exit.reason, c.reason);
        EXPECT_EQ(server.Finish(), "");  // the client closed its end every time
    }
}

// What either client made of one message to a peer: delivered with this answer, or not.
struct Delivery {
    bool delivered = false;
    std::string answer;
    std::string said;  // the failure, for the test's messages

    bool operator==(const Delivery& other) const {
        return delivered == other.delivered && answer == other.answer;
    }
};

std::ostream& operator<<(std::ostream& out, const Delivery& d) {
    return out << (d.delivered ? "delivered, " + std::to_string(d.answer.size()) + " bytes"
                               : "not delivered: " + d.said);
}

Delivery ByBuiltin(const std::string& host, int port) {
    quorvane::platform::Sockets sockets;
    const auto outcome = quorvane::SendBuiltin(sockets, {host, port, "pw", "S"}, "x", 5s);
    return {outcome.exit.kind == Kind::Exited, outcome.answer, outcome.exit.reason};
}

Delivery ByExternal(const std::string& host, int port) {
    auto arguments = rcon_testing::PluginArguments(port, "pw", {"x"});
    arguments[0] = "-H" + host;
    arguments.insert(arguments.begin(), "-t5");
    auto result = rcon_testing::RunClient(arguments);
    // The client ends each answer with a line break of its own.
    if (result.exitCode == 0 && !result.output.empty() && result.output.back() == '\n') {
        result.output.pop_back();
    }
    return {result.exitCode == 0, result.exitCode == 0 ? result.output : "", result.output};
}

// The same peer for either client: the C++ script, or the Node.js peer (rcon-peer.js serve).
Delivery AgainstScript(const ScriptedServer::Script& script, const std::string& host,
                       Delivery (*client)(const std::string&, int)) {
    ScriptedServer server(script);
    const auto delivery = client(host, server.Port());
    EXPECT_EQ(server.Finish(), "");
    return delivery;
}

Delivery AgainstNode(const std::string& habit, const std::string& host,
                     Delivery (*client)(const std::string&, int)) {
    testing_support::BackgroundProcess peer(NODE_PROGRAM, {NODE_PEER_SCRIPT, "serve", habit}, ".");
    const auto port = peer.WaitForLine(std::regex(R"(^port (\d+))"), 30s);
    if (!port) {
        ADD_FAILURE() << "the Node.js peer did not start (scripts/install-node-deps.sh): "
                      << peer.Output();
        return {};
    }
    const auto delivery = client(host, std::stoi(port->at(1)));
    EXPECT_EQ(peer.Wait(15s), 0) << peer.Output();  // it saw the client log in and close
    return delivery;
}

// A real server's habits, each played by two peers and read by both clients: the same
// outcome every time. Packets that answer nothing are skipped; an answer comes whole however it
// is split and however long the gaps; one that ends on a full packet (exactly k x 4086 bytes)
// ends when the server falls silent or closes, delivered.
TEST(BuiltinClientTest, BothClientsReadAServersHabitsAlike) {
    const std::string a(rcon::kMaxBodySize, 'a');
    const std::string b(rcon::kMaxBodySize, 'b');
    const std::string f(rcon::kMaxBodySize, 'f');
    const std::string g(rcon::kMaxBodySize, 'g');
    const auto reply = [](ScriptPeer& peer, const std::string& body) {
        peer.Send({peer.Read().id, rcon::kResponseValue, body});
    };
    struct Case {
        const char* habit;  // the Node.js peer's name for it
        ScriptedServer::Script script;
        std::string host;
        std::string answer;
    };
    const Case cases[] = {
        {"stray-after-login",
         [&](ScriptPeer& peer) {
             const auto auth = peer.Read();
             peer.Write(rcon::Encode({auth.id, rcon::kAuthResponse, ""}) +
                        rcon::Encode({auth.id, rcon::kResponseValue, ""}));
             reply(peer, "ok");
             peer.WaitForClose();
         },
         "127.0.0.1", "ok"},
        {"keep-alive",
         [&](ScriptPeer& peer) {
             const auto auth = peer.Read();
             peer.Write(rcon::Encode({0, rcon::kResponseValue, ""}) +
                        rcon::Encode({auth.id, rcon::kAuthResponse, ""}));
             const auto command = peer.Read();
             peer.Send({77, rcon::kResponseValue, "keep-alive"});
             std::this_thread::sleep_for(100ms);
             peer.Send({command.id, rcon::kResponseValue, "ok"});
             peer.WaitForClose();
         },
         "127.0.0.1", "ok"},
        {"keep-alive-inside",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             const auto command = peer.Read();
             peer.Write(rcon::Encode({command.id, rcon::kResponseValue, a}) +
                        rcon::Encode({0, rcon::kResponseValue, ""}) +
                        rcon::Encode({command.id, rcon::kResponseValue, "end"}));
             peer.WaitForClose();
         },
         "127.0.0.1", a + "end"},
        {"split-with-gaps",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             const auto id = peer.Read().id;
             peer.WriteInPieces(rcon::Encode({id, rcon::kResponseValue, a}), 1000);
             std::this_thread::sleep_for(200ms);
             peer.WriteInPieces(rcon::Encode({id, rcon::kResponseValue, b}), 3000);
             std::this_thread::sleep_for(200ms);
             peer.WriteInPieces(rcon::Encode({id, rcon::kResponseValue, "end"}), 4);
             peer.WaitForClose();
         },
         "127.0.0.1", a + b + "end"},
        {"exactly-one-full",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             reply(peer, f);
             peer.WaitForClose();
         },
         "127.0.0.1", f},
        {"exactly-two-full",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             const auto id = peer.Read().id;
             peer.Send({id, rcon::kResponseValue, f});
             std::this_thread::sleep_for(200ms);
             peer.Send({id, rcon::kResponseValue, g});
             peer.WaitForClose();
         },
         "127.0.0.1", f + g},
        {"full-then-close",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             reply(peer, f);
         },
         "127.0.0.1", f},
        {"plain",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             reply(peer, "ok");
             peer.WaitForClose();
         },
         "localhost", "ok"},
    };
    // Fails rather than skips: a check nobody runs goes stale unnoticed.
    const bool node = std::filesystem::exists(NODE_PROGRAM);
    EXPECT_TRUE(node) << "needs Node.js (scripts/install-deps.sh)";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.habit) + " at " + c.host);
        const Delivery expected{true, c.answer, ""};
        for (const auto client : {&ByBuiltin, &ByExternal}) {
            SCOPED_TRACE(client == &ByBuiltin ? "built-in client" : "external client");
            EXPECT_EQ(AgainstScript(c.script, c.host, client), expected) << "the C++ peer";
            if (node) {
                EXPECT_EQ(AgainstNode(c.habit, c.host, client), expected) << "the Node.js peer";
            }
        }
    }
    // A name that does not resolve (.invalid never does) fails the message with both.
    for (const auto client : {&ByBuiltin, &ByExternal}) {
        const auto failed = client("quorvane-test.invalid", rcon_testing::UnusedPort());
        EXPECT_FALSE(failed.delivered);
        EXPECT_NE(failed.said.find("resolve quorvane-test.invalid"), std::string::npos)
            << failed.said;
    }
}

class BuiltinDeliveryTest : public ::testing::Test {
  protected:
    BuiltinDeliveryTest() {
        service_.OnFinished([this](const RconJob&, const std::map<std::string, std::string>& m) {
            std::lock_guard lock(mutex_);
            finished_.push_back(m);
        });
    }
    static RconJob Job(RconTarget own, std::vector<RconTarget> targets,
                       std::chrono::milliseconds deadline) {
        RconJob job;
        job.EventId = "meteor";
        job.EventCommand = "StartWorldEvent meteor 1 2 3";
        job.BroadcastText = R"(ServerChat Meteor\nGo!)";
        job.Client = RconClientKind::Builtin;
        job.Own = std::move(own);
        job.Targets = std::move(targets);
        job.Deadline = deadline;
        return job;
    }

    testing_support::PluginHost host_;
    testing_support::ScriptedEnv* env_ = new testing_support::ScriptedEnv;
    RconService service_{std::unique_ptr<testing_support::ScriptedEnv>(env_)};
    std::mutex mutex_;
    std::vector<std::map<std::string, std::string>> finished_;
};

// Servers that take the connection and never answer cost only themselves their deadline: with
// eight of them ahead of the others, the delivery is done well before the eight deadlines that
// reaching them one after another would take. The failures are the usual warnings, with the
// built-in client's reasons.
TEST_F(BuiltinDeliveryTest, ASilentServerHoldsUpNoOther) {
    constexpr int kSilent = 8;
    constexpr auto kDeadline = 1s;
    rcon_testing::SilentServer silent;
    rcon_testing::TestListener a;
    rcon_testing::TestListener b;
    rcon_testing::TestListener guarded("other");
    const RconTarget own{"127.0.0.1", a.Port(), "secret", "A"};
    std::vector<RconTarget> targets;
    std::map<std::string, std::string> expected{
        {"A", "delivered"}, {"B", "delivered"}, {"Guarded", "wrong password"}};
    Lines warnings;
    const auto warning = [](const std::string& key, int port, const std::string& reason) {
        return "[Quorvane][warning] RCON broadcast of event meteor to " + key +
               " (127.0.0.1:" + std::to_string(port) + ") failed: " + reason;
    };
    for (int i = 1; i <= kSilent; ++i) {
        const std::string key = "Silent" + std::to_string(i);
        targets.push_back({"127.0.0.1", silent.Port(), "secret", key});
        expected[key] = "no answer in 1 s (at authentication)";
        warnings.push_back(warning(key, silent.Port(), expected[key]));
    }
    targets.push_back(own);
    targets.push_back({"127.0.0.1", b.Port(), "secret", "B"});
    targets.push_back({"127.0.0.1", guarded.Port(), "secret", "Guarded"});
    warnings.push_back(warning("Guarded", guarded.Port(), "wrong password"));

    const auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(service_.Submit(Job(own, targets, kDeadline)));
    ASSERT_TRUE(service_.WaitUntilIdle(30s));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, kDeadline);
    EXPECT_LT(took, kSilent * kDeadline / 2)
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0], expected);
    EXPECT_EQ(a.Commands().size(), 2u);
    EXPECT_EQ(b.Commands().at(0).command, R"(ServerChat Meteor\nGo!)");
    EXPECT_EQ(silent.Connections(), kSilent);
    EXPECT_EQ(host_.PluginLines(), warnings);
    EXPECT_TRUE(env_->Runs().empty());  // no process
}

// Unloading while the own server's command waits for an answer ends it at once (the deadline
// is ten minutes); it counts as not delivered, and the broadcasts never go out.
TEST_F(BuiltinDeliveryTest, UnloadingEndsAMessageInFlightAtOnce) {
    rcon_testing::SilentServer silent;
    rcon_testing::TestListener other;
    ASSERT_FALSE(service_.Submit(Job({"127.0.0.1", silent.Port(), "secret", "Own"},
                                     {{"127.0.0.1", other.Port(), "secret", "Other"}}, 10min)));
    for (int i = 0; i < 6000 && silent.Connections() == 0; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(silent.Connections(), 1);
    service_.Stop();
    ASSERT_EQ(finished_.size(), 1u);
    EXPECT_EQ(finished_[0].at("Own"), "cut off by unloading");
    for (const auto& [server, outcome] : finished_[0]) {
        EXPECT_NE(outcome, "delivered") << server;
    }
    EXPECT_TRUE(other.Commands().empty());
    EXPECT_EQ(host_.PluginLines(), Lines{});
    EXPECT_TRUE(env_->Runs().empty());
}

}  // namespace
