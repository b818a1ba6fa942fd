// A cluster of three game servers, each its own process with the plugin installed, sharing
// one config.json: every text that reaches an RCON listener or the Discord receiver is
// checked against what the config says it must be.

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "LogLines.h"
#include "Receiver.h"
#include "ServerDir.h"

namespace {

using nlohmann::json;
using Texts = std::vector<std::string>;

// A port nobody listens on right now.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

struct Server {
    Server(std::string name, std::vector<std::string> extra)
        : key(std::move(name)), port(FreePort()), extraArguments(std::move(extra)) {}

    std::string key;
    int port;
    std::vector<std::string> extraArguments;
    testing_support::ServerDir dir;
    std::unique_ptr<testing_support::BackgroundProcess> process;

    Texts Received() const {
        Texts commands;
        std::ifstream record(dir.Path() / "rcon.jsonl");
        for (std::string line; std::getline(record, line);) {
            commands.push_back(json::parse(line)["command"]);
        }
        std::sort(commands.begin(), commands.end());
        return commands;
    }
};

json ClusterConfig(const std::string& webhook, const std::vector<Server*>& servers) {
    json config = {
        {"Debug", true},
        {"DiscordWebhook", webhook},
        {"DiscordWebhookColor", "16711680"},
        {"DiscordBroadcastHeader", "{EVENTLABEL} @ {serverLabel} {lat}{LAT}"},
        {"DiscordBroadcastMessage", "{eventlabel} at {LAT}/{lon}\nSay \"go\" on {Serverlabel}!"},
        {"BroadcastStartEventMessage",
         "{Eventlabel} on {SERVERLABEL}: \"{lat}\" {Lon}\nnext {lat}"},
        {"ServerEventsCommand", "StartWorldEvent"},
        {"MCRconPath", RCON_CLIENT_FILE}};
    const std::vector<json> sections = {
        {{"Serverlabel", "Alpha \"One\""},
         {"RandomEvents",
          {{"meteor",
            {{"Eventlabel", "Caf\u00e9 {Serverlabel} {Lat}"},
             {"RandomCCCs", {"200000 -50000 0"}}}}}}},
        {{"Serverlabel", "Bravo"},
         {"RandomEvents",
          {{"storm", {{"Eventlabel", "Storm"}, {"RandomCCCs", {"50000 -50000 0"}}}}}}},
        {{"Serverlabel", "Charlie"},
         {"RandomEvents", {{"x", {{"Eventlabel", "X"}, {"RandomCCCs", {"0 0 0"}}}}}}},
    };
    for (std::size_t i = 0; i < servers.size(); ++i) {
        json section = sections[i];
        section["RconSettings"] = {{"RconIP", "127.0.0.1"},
                                   {"RconPort", servers[i]->port},
                                   {"RconPassword", "pw" + servers[i]->key}};
        // Every server is up well before the first event, and there is only one each.
        section["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 5}, {"MaximumTimeToWait", 5}};
        section["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 600},
                                        {"MaximumTimeToNextEvent", 600}};
        config[servers[i]->key] = section;
    }
    return config;
}

TEST(ClusterTest, EveryServerAndDiscordGetExactlyTheConfiguredTexts) {
    webhook::Receiver receiver;
    receiver.Start();
    Server alpha("Alpha", {});
    Server bravo("Bravo", {"--no-world"});
    Server charlie("Charlie", {});
    const std::vector<Server*> servers = {&alpha, &bravo, &charlie};
    const json config = ClusterConfig(receiver.BaseUrl() + "/api/webhooks/42/cluster", servers);

    for (Server* server : servers) {
        server->dir.WriteConfig(config.dump());
        std::vector<std::string> arguments = {
            "TheIsland_WP?listen?RCONPort=" + std::to_string(server->port) +
                "?ServerAdminPassword=pw" + server->key,
            "-serverkey=" + server->key, "--time-scale=60",
            "--rcon-record=" + (server->dir.Path() / "rcon.jsonl").string(),
            // So that what the plugin leaves once unloaded can be seen.
            "--unload-at-exit"};
        arguments.insert(arguments.end(), server->extraArguments.begin(),
                         server->extraArguments.end());
        server->process = std::make_unique<testing_support::BackgroundProcess>(
            testing_support::GameServerProgram(), arguments, server->dir.Path());
    }

    // Each listener gets its own event command and all three broadcasts.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto done = [&] {
        return std::all_of(servers.begin(), servers.end(),
                           [](Server* s) { return s->Received().size() >= 4; }) &&
               receiver.Records().size() >= 3;
    };
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (Server* server : servers) {
        EXPECT_EQ(server->process->Stop(), 0) << server->process->Output();
        EXPECT_NE(
            server->process->Output().find("[GameServer][info] FMemory outstanding allocations: 0"),
            std::string::npos);
    }

    // Placeholders in any letter case and twice; the label's own placeholders filled by the
    // later passes; quotation marks escaped only for the RCON command line (the client's
    // argument splitting turns \" back into "), a line feed as \n; é as two "?"; no world
    // gives 0.000000; 200000 as 2e+05.
    const Texts broadcasts = {
        R"(Caf?? Alpha "One" 75.000000 on Alpha "One": "75.000000" 43.750000\nnext 75.000000)",
        R"(Storm on Bravo: "0.000000" 0.000000\nnext 0.000000)",
        R"(X on Charlie: "50.000000" 50.000000\nnext 50.000000)",
    };
    const auto expect = [&](const Server& server, const std::string& command) {
        Texts expected = broadcasts;
        expected.push_back(command);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(server.Received(), expected) << server.key;
    };
    expect(alpha, "StartWorldEvent meteor 2e+05 -50000 0");
    expect(bravo, "StartWorldEvent storm 50000 -50000 0");
    expect(charlie, "StartWorldEvent x 0 0 0");

    Texts bodies;
    for (const auto& record : receiver.Records()) {
        EXPECT_EQ(record.target, "/api/webhooks/42/cluster");
        EXPECT_EQ(record.contentTypes, Texts{"application/json"});
        bodies.push_back(record.body);
    }
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(
        bodies,
        (Texts{
            R"({"content":"Caf?? Alpha \"One\" 75.000000 @ Alpha \"One\" 75.00000075.000000","embeds":[{"color":"16711680","description":"Caf?? Alpha \"One\" 75.000000 at 75.000000/43.750000\nSay \"go\" on Alpha \"One\"!"}]})",
            R"({"content":"Storm @ Bravo 0.0000000.000000","embeds":[{"color":"16711680","description":"Storm at 0.000000/0.000000\nSay \"go\" on Bravo!"}]})",
            R"({"content":"X @ Charlie 50.00000050.000000","embeds":[{"color":"16711680","description":"X at 50.000000/50.000000\nSay \"go\" on Charlie!"}]})",
        }));
    for (Server* server : servers) {
        const auto lines = testing_support::LogLinesOf(server->process->Output(), "Quorvane");
        EXPECT_EQ(
            std::count(lines.begin(), lines.end(), "[Quorvane][info] Message sent to discord"), 1)
            << server->key;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "[Quorvane][info] Starting event!"), 1)
            << server->key;
    }
    receiver.Stop();
}

}  // namespace
