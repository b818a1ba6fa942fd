// The stand-in's RCON listener, driven in-process through the protocol library's client.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <thread>

#include "RconConnection.h"
#include "TestListener.h"
#include "rcon/Client.h"
#include "rcon/Error.h"

namespace {

using namespace std::chrono_literals;
using rcon_testing::TestListener;

rcon::Client LoggedIn(int port, const std::string& password = "secret") {
    rcon::Client client("127.0.0.1", port, 5s);
    client.Authenticate(password);
    return client;
}

std::filesystem::path TempFile() {
    std::random_device random;
    return std::filesystem::temp_directory_path() /
           ("quorvane-rcon-record-" + std::to_string(random()) + ".jsonl");
}

TEST(ListenerTest, AppendsOneJsonLinePerCommand) {
    const auto file = TempFile();
    std::ofstream(file) << "{\"command\":\"from before\",\"peer\":\"x\"}\n";
    {
        TestListener listener("secret", file);
        LoggedIn(listener.Port()).Execute("ServerChat \"hi\"\\ & <you>");
        auto second = LoggedIn(listener.Port());
        second.Execute("two\nlines");
        second.Execute("caf\xE9");
        const auto commands = listener.Commands();
        ASSERT_EQ(commands.size(), 3u);
        EXPECT_NE(commands[0].peer, commands[1].peer);
        EXPECT_EQ(commands[2].command, "caf\xE9");  // memory keeps every byte

        std::ifstream in(file);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        EXPECT_EQ(
            lines,
            (std::vector<std::string>{
                "{\"command\":\"from before\",\"peer\":\"x\"}",
                R"({"command":"ServerChat \"hi\"\\ & <you>","peer":")" + commands[0].peer + "\"}",
                R"({"command":"two\nlines","peer":")" + commands[1].peer + "\"}",
                "{\"command\":\"caf\xEF\xBF\xBD\",\"peer\":\"" + commands[2].peer + "\"}",
            }));
    }
    std::filesystem::remove(file);
}

TEST(ListenerTest, LetsInOnlyTheExactPassword) {
    struct Case {
        std::string password;
        std::string attempt;
        bool accepted;
    };
    const Case cases[] = {
        {"secret", "secret", true},
        {"secret", "Secret", false},
        {"secret", "secret ", false},
        {"secret", "", false},
        {"", "", false},  // an empty admin password lets no one in
    };
    for (const auto& c : cases) {
        TestListener listener(c.password);
        rcon::Client client("127.0.0.1", listener.Port(), 5s);
        try {
            client.Authenticate(c.attempt);
            EXPECT_TRUE(c.accepted) << "'" << c.attempt << "' let in";
            EXPECT_EQ(client.Execute("echo in"), "in");
        } catch (const rcon::Error& e) {
            EXPECT_FALSE(c.accepted) << "'" << c.attempt << "': " << e.what();
            EXPECT_EQ(e.Kind(), rcon::ErrorKind::Authentication);
        }
    }
}

// Sends raw bytes and returns what came back until the listener closed the connection.
std::string SendUntilClosed(rcon::net::Socket& socket, const std::string& bytes) {
    const auto deadline = rcon::net::Clock::now() + 5s;
    EXPECT_EQ(rcon::net::SendAll(socket, bytes, deadline), rcon::net::IoStatus::Done);
    std::string received;
    for (;;) {
        char buffer[4096];
        std::size_t n = 0;
        const auto status = rcon::net::Receive(socket, buffer, sizeof buffer, deadline, n);
        if (status != rcon::net::IoStatus::Done) {
            EXPECT_EQ(status, rcon::net::IoStatus::Closed) << "still open";
            return received;
        }
        received.append(buffer, n);
    }
}

TEST(ListenerTest, ClosesTheConnectionOnWhatRealServersRefuse) {
    const std::string login = rcon::Encode({1, rcon::kAuth, "secret"});
    const std::string loggedIn = rcon::Encode({1, rcon::kAuthResponse, ""});
    struct Case {
        std::string request;
        std::string answer;
        std::string warning;
    };
    const Case cases[] = {
        {rcon::Encode({5, rcon::kExecCommand, "ServerChat sneaky"}), "",
         "Command before login from {peer}; connection closed"},
        // Requests keep the documented limit: the largest one is served, a byte more is not.
        {login + rcon::Encode({2, rcon::kExecCommand, std::string(rcon::kMaxBodySize, 'x')}) +
             rcon::Encode({3, rcon::kExecCommand, std::string(rcon::kMaxBodySize + 1, 'x')}),
         loggedIn + rcon::Encode({2, rcon::kResponseValue, gameserver::kNoResponse}),
         "Closed the connection from {peer}: protocol error: packet size 4097 is outside "
         "10..4096"},
    };
    for (const auto& c : cases) {
        TestListener listener;
        auto socket =
            rcon::net::Connect("127.0.0.1", listener.Port(), rcon::net::Clock::now() + 5s);
        const std::string peer = "127.0.0.1:" + std::to_string(rcon::net::LocalPort(socket));
        EXPECT_EQ(SendUntilClosed(socket, c.request), c.answer) << c.warning;
        std::string warning = "[RCON][warning] " + c.warning;
        warning.replace(warning.find("{peer}"), 6, peer);
        const auto lines = listener.LogLines();
        EXPECT_NE(std::find(lines.begin(), lines.end(), warning), lines.end()) << warning;
        EXPECT_LE(listener.Commands().size(), 1u);
    }
}

TEST(ListenerTest, ServesClientsTogetherAndStopsWhileTheyAreConnected) {
    TestListener listener;
    constexpr int kClients = 4;
    constexpr int kCommands = 10;
    std::vector<std::thread> threads;
    for (int t = 0; t < kClients; ++t) {
        threads.emplace_back([&, t] {
            auto client = LoggedIn(listener.Port());
            for (int i = 0; i < kCommands; ++i) {
                const std::string text = std::to_string(t) + "/" + std::to_string(i);
                EXPECT_EQ(client.Execute("echo " + text), text);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    // Each client's commands in its order, whatever the interleaving.
    std::map<std::string, std::vector<std::string>> byPeer;
    for (const auto& c : listener.Commands()) {
        byPeer[c.peer].push_back(c.command);
    }
    ASSERT_EQ(byPeer.size(), static_cast<std::size_t>(kClients));
    for (const auto& [peer, commands] : byPeer) {
        ASSERT_EQ(commands.size(), static_cast<std::size_t>(kCommands)) << peer;
        const std::string client = commands[0].substr(5, commands[0].find('/') - 5);
        for (int i = 0; i < kCommands; ++i) {
            EXPECT_EQ(commands[i], "echo " + client + "/" + std::to_string(i));
        }
    }

    auto idle = LoggedIn(listener.Port());
    listener.Listener().Stop();
    listener.Listener().Stop();
    try {
        idle.Execute("after stop");
        ADD_FAILURE() << "answered after Stop";
    } catch (const rcon::Error& e) {
        EXPECT_EQ(e.Kind(), rcon::ErrorKind::Connection) << e.what();
    }
    EXPECT_THROW(rcon::Client("127.0.0.1", listener.Port(), 5s), rcon::Error);
}

TEST(ListenerTest, PortZeroPicksAFreePortAndWhatCannotBeListenedOnIsReported) {
    TestListener first;
    TestListener second;
    EXPECT_NE(first.Port(), 0);
    EXPECT_NE(second.Port(), 0);
    EXPECT_NE(first.Port(), second.Port());
    EXPECT_EQ(first.LogLines().at(0),
              "[RCON][info] Listening on 127.0.0.1:" + std::to_string(first.Port()));

    gameserver::RconListenerOptions options;
    options.port = first.Port();
    gameserver::RconListener taken(options);
    try {
        taken.Start();
        ADD_FAILURE() << "listened on a taken port";
    } catch (const rcon::Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "cannot listen on 127.0.0.1:" + std::to_string(first.Port()) +
                      ": Address already in use");
    }

    // Only numeric addresses: a name is the resolver's error, in the resolver's words.
    options.address = "localhost";
    options.port = 0;
    gameserver::RconListener named(options);
    try {
        named.Start();
        ADD_FAILURE() << "listened on a name";
    } catch (const rcon::Error& e) {
        EXPECT_EQ(e.Kind(), rcon::ErrorKind::Connection);
        EXPECT_EQ(std::string(e.what()), "cannot listen on localhost:0: Name or service not known");
    }
}

}  // namespace
