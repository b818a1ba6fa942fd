// The quorvane-rcon executable against scripted servers: what real servers may do that the
// stand-in never does, and what no server should do.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "ClientRun.h"
#include "ScriptedServer.h"

namespace {

using rcon::Packet;
using rcon_testing::AcceptLogin;
using rcon_testing::PluginArguments;
using rcon_testing::RunClient;
using rcon_testing::ScriptedServer;
using rcon_testing::ScriptPeer;

// Reads the next command and checks its text.
Packet ReadCommand(ScriptPeer& peer, const std::string& text) {
    const auto packet = peer.Read();
    if (packet.type != rcon::kExecCommand || packet.body != text) {
        throw std::runtime_error("expected the command '" + text + "', got '" + packet.body + "'");
    }
    return packet;
}

Packet Reply(const Packet& request, const std::string& body) {
    return {request.id, rcon::kResponseValue, body};
}

struct Case {
    const char* what;
    ScriptedServer::Script script;
    std::vector<std::string> commands;
    int exitCode;
    std::string output;
};

void RunCases(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        ScriptedServer server(c.script);
        auto arguments = PluginArguments(server.Port(), "pw", c.commands);
        arguments.insert(arguments.begin(), "-t0.3");
        const auto result = RunClient(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_EQ(server.Finish(), "") << c.what;
    }
}

TEST(ClientScriptTest, ReadsRepliesHoweverTheyArrive) {
    const std::string a(rcon::kMaxBodySize, 'a');
    const std::string b(rcon::kMaxBodySize, 'b');
    RunCases({
        {"login and reply in TCP pieces",
         [](ScriptPeer& peer) {
             const auto auth = peer.Read();
             peer.WriteInPieces(rcon::Encode({auth.id, rcon::kAuthResponse, ""}), 3);
             peer.WriteInPieces(rcon::Encode(Reply(ReadCommand(peer, "x"), "in pieces")), 7);
             peer.WaitForClose();
         },
         {"x"},
         0,
         "in pieces\n"},
        {"a reply of several packets: each full one is followed by more",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             const auto command = ReadCommand(peer, "x");
             peer.Send(Reply(command, a));
             peer.Send(Reply(command, b));
             peer.Send(Reply(command, "end"));
             peer.WaitForClose();
         },
         {"x"},
         0,
         a + b + "end\n"},
        {"a reply of exactly 4086 bytes ends in silence; its late rest is skipped",
         [&](ScriptPeer& peer) {
             AcceptLogin(peer);
             const auto first = ReadCommand(peer, "one");
             peer.Send(Reply(first, a));
             const auto second = ReadCommand(peer, "two");
             peer.Write(rcon::Encode(Reply(first, "late")) + rcon::Encode(Reply(second, "2")));
             peer.WaitForClose();
         },
         {"one", "two"},
         0,
         a + "\n2\n"},
        {"Source's empty RESPONSE_VALUE ahead of the login reply",
         [](ScriptPeer& peer) {
             const auto auth = peer.Read();
             peer.Write(rcon::Encode({auth.id, rcon::kResponseValue, ""}) +
                        rcon::Encode({auth.id, rcon::kAuthResponse, ""}));
             peer.Send(Reply(ReadCommand(peer, "x"), "ok"));
             peer.WaitForClose();
         },
         {"x"},
         0,
         "ok\n"},
    });
}

TEST(ClientScriptTest, EndsOnSilenceAndBrokenServers) {
    RunCases({
        {"never answers the login",
         [](ScriptPeer& peer) {
             peer.Read();
             peer.WaitForClose();
         },
         {"x"},
         5,
         "quorvane-rcon: timed out after 300 ms waiting for the login reply\n"},
        {"answers the first command, never the second",
         [](ScriptPeer& peer) {
             AcceptLogin(peer);
             peer.Send(Reply(ReadCommand(peer, "one"), "first"));
             ReadCommand(peer, "two");
             peer.WaitForClose();
         },
         {"one", "two"},
         5,
         "first\nquorvane-rcon: timed out after 300 ms waiting for the reply to command 2\n"},
        {"closes instead of replying",
         [](ScriptPeer& peer) {
             AcceptLogin(peer);
             ReadCommand(peer, "x");
         },
         {"x"},
         3,
         "quorvane-rcon: the server closed the connection before the reply to command 1\n"},
        {"a reply of the command's id and another type",
         [](ScriptPeer& peer) {
             AcceptLogin(peer);
             peer.Send({ReadCommand(peer, "x").id, rcon::kAuthResponse, "not a reply"});
             peer.WaitForClose();
         },
         {"x"},
         6,
         "quorvane-rcon: protocol error: unexpected packet (id 2, type 2) instead of the reply "
         "to command 1\n"},
        {"a login reply that is a RESPONSE_VALUE with text",
         [](ScriptPeer& peer) {
             const auto auth = peer.Read();
             peer.Send({auth.id, rcon::kResponseValue, "welcome"});
             peer.WaitForClose();
         },
         {"x"},
         6,
         "quorvane-rcon: protocol error: unexpected packet (id 1, type 0) instead of the login "
         "reply\n"},
        {"not RCON at all",
         [](ScriptPeer& peer) {
             peer.Write("HTTP/1.1 400 Bad Request\r\n\r\n");
             peer.WaitForClose();
         },
         {"x"},
         6,
         "quorvane-rcon: protocol error: packet size 1347703880 is outside 10..1048576\n"},
    });
}

// A listener whose queue of waiting connections is full: Linux then drops further SYNs, so a
// connect neither succeeds nor fails, all on loopback.
class FullBacklog {
  public:
    FullBacklog() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        listen(listener_, 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        for (int& filler : fillers_) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr*>(&address), length);
        }
    }
    ~FullBacklog() {
        for (int filler : fillers_) {
            close(filler);
        }
        close(listener_);
    }
    int Port() const { return port_; }

  private:
    int listener_ = socket(AF_INET, SOCK_STREAM, 0);
    int fillers_[3] = {};
    int port_ = 0;
};

TEST(ClientScriptTest, EndsWhenTheConnectTakesTooLong) {
    FullBacklog server;
    auto arguments = PluginArguments(server.Port(), "pw", {"x"});
    arguments.insert(arguments.begin(), "-t0.3");
    const auto result = RunClient(arguments);
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_EQ(result.output, "quorvane-rcon: timed out after 300 ms connecting to 127.0.0.1:" +
                                 std::to_string(server.Port()) + "\n");
}

}  // namespace
