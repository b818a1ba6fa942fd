// Starts a cluster on this machine: one game server stand-in per server section of a
// config.json, each with the plugin installed and its own RCON port, plus a local Discord
// webhook receiver; prints everything they say, each line marked with its server, until
// Ctrl-C or --run-for.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "Children.h"
#include "rcon/Client.h"

namespace {

struct LauncherArgs {
    std::filesystem::path config;
    std::string webhook;  // empty: the local receiver
    std::optional<double> runForSeconds;
    double timeScale = 60;
    int basePort = 27020;
    std::filesystem::path workDir = "cluster-run";
    std::filesystem::path binDir;
};

const char* kUsage =
    "usage: cluster-launcher --config=FILE [--webhook=URL] [--run-for=SECONDS]\n"
    "                        [--time-scale=N] [--base-port=N] [--work-dir=DIR]\n";

LauncherArgs ParseArgs(int argc, char** argv) {
    LauncherArgs args;
    args.binDir = std::filesystem::canonical("/proc/self/exe").parent_path();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](const char* option) { return a.substr(std::string(option).size()); };
        if (a.starts_with("--config=")) {
            args.config = value("--config=");
        } else if (a.starts_with("--webhook=")) {
            args.webhook = value("--webhook=");
        } else if (a.starts_with("--run-for=")) {
            args.runForSeconds = std::stod(value("--run-for="));
        } else if (a.starts_with("--time-scale=")) {
            args.timeScale = std::stod(value("--time-scale="));
        } else if (a.starts_with("--base-port=")) {
            args.basePort = std::stoi(value("--base-port="));
        } else if (a.starts_with("--work-dir=")) {
            args.workDir = value("--work-dir=");
        } else {
            throw std::invalid_argument("unknown argument " + a);
        }
    }
    if (args.config.empty()) {
        throw std::invalid_argument("--config is required");
    }
    return args;
}

// `preferred` when nothing listens on it, else a port the system picks.
int LocalPort(int preferred) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(preferred));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        address.sin_port = 0;
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool StopRequested() {
    if (!std::cout) {
        return true;  // nobody reads any more (a closed pipe): stop the cluster cleanly
    }
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    const timespec now{0, 0};
    return sigtimedwait(&set, nullptr, &now) > 0;
}

class Printer {
  public:
    explicit Printer(bool colour) : colour_(colour) {}
    void operator()(const std::string& name, const std::string& line) const {
        static const char* colours[] = {"\033[36m", "\033[33m", "\033[35m",
                                        "\033[32m", "\033[34m", "\033[31m"};
        const std::size_t hue = std::hash<std::string>{}(name) % std::size(colours);
        std::string label = name;
        label.resize(std::max<std::size_t>(label.size(), 10), ' ');
        if (colour_) {
            std::cout << colours[hue] << label << "\033[0m | " << line << '\n' << std::flush;
        } else {
            std::cout << label << " | " << line << '\n' << std::flush;
        }
    }

  private:
    bool colour_;
};

// A player on one of the servers: once a server has warned of one of its events, Ana asks it
// what is coming, in the chat (the game stand-in's "chat NAME TEXT", sent over RCON), and the
// server's answer to her shows among its lines.
class ScriptedPlayer {
  public:
    ~ScriptedPlayer() {
        for (auto& ask : asks_) {
            ask.join();
        }
    }
    void Watch(const std::string& server, int port, const std::string& password) {
        servers_[server] = {port, password};
    }
    // Each line of a server's: its first warning makes Ana ask there.
    template <typename Print>
    void Saw(const std::string& server, const std::string& line, const Print& print) {
        const auto found = servers_.find(server);
        if (found == servers_.end() || found->second.asked ||
            line.find("[Quorvane][info] Warning of event ") == std::string::npos) {
            return;
        }
        found->second.asked = true;
        print("cluster", "Ana types /event in the chat on " + server);
        asks_.emplace_back([port = found->second.port, password = found->second.password] {
            try {
                rcon::Client client("127.0.0.1", port, std::chrono::seconds(5));
                client.Authenticate(password);
                client.Execute("chat Ana /event");
            } catch (const std::exception&) {
                // The server's own lines say what became of it.
            }
        });
    }

  private:
    struct Target {
        int port = 0;
        std::string password;
        bool asked = false;
    };
    std::map<std::string, Target> servers_;
    std::vector<std::thread> asks_;
};

}  // namespace

int main(int argc, char** argv) {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    LauncherArgs args;
    nlohmann::json config;
    try {
        args = ParseArgs(argc, argv);
        std::ifstream file(args.config);
        if (!file) {
            throw std::runtime_error("cannot open " + args.config.string());
        }
        config = nlohmann::json::parse(file);
    } catch (const std::exception& e) {
        std::cerr << "cluster-launcher: " << e.what() << "\n" << kUsage;
        return 2;
    }

    const Printer print(isatty(STDOUT_FILENO) != 0);
    cluster::Children children;
    ScriptedPlayer ana;
    const auto relay = [&](std::size_t child, const std::string& line) {
        print(children.Name(child), line);
        ana.Saw(children.Name(child), line, print);
    };
    // Whatever goes wrong from here, no child is left behind: the receiver runs in its own
    // process group, out of Ctrl-C's reach.
    try {
        std::string webhook = args.webhook;
        std::filesystem::create_directories(args.workDir);
        if (webhook.empty()) {
            const auto receiver = children.Start(
                "discord", args.binDir / "webhook-receiver",
                {"--port=0",
                 "--record=" +
                     (std::filesystem::absolute(args.workDir) / "discord.jsonl").string()},
                args.workDir);
            static const std::regex listening(R"(Listening on (http://\S+))");
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            children.Pump(
                [&](std::size_t child, const std::string& line) {
                    std::smatch match;
                    if (child == receiver && std::regex_search(line, match, listening)) {
                        webhook = match[1].str() + "/api/webhooks/1000/cluster-demo";
                    }
                    relay(child, line);
                },
                deadline, [&] { return !webhook.empty(); });
            if (webhook.empty()) {
                std::cerr << "cluster-launcher: the webhook receiver did not start\n";
                return 1;
            }
        }

        // The stand-ins run here: every RCON endpoint becomes a local port, and the client is
        // ours. The rest of the file is used as it is.
        config["DiscordWebhook"] = webhook;
        config["MCRconPath"] = (args.binDir / "quorvane-rcon").string();
        struct Server {
            std::string key;
            int port;
            std::string password;
        };
        std::vector<Server> servers;
        for (auto& [key, section] : config.items()) {
            if (!section.is_object() || !section.contains("RconSettings") ||
                !section["RconSettings"].is_object()) {
                continue;
            }
            const int port = LocalPort(args.basePort + static_cast<int>(servers.size()));
            section["RconSettings"]["RconIP"] = "127.0.0.1";
            section["RconSettings"]["RconPort"] = port;
            servers.push_back({key, port, section["RconSettings"].value("RconPassword", "")});
        }
        if (servers.empty()) {
            std::cerr << "cluster-launcher: " << args.config << " has no server section\n";
            return 2;
        }

        const auto plugin =
            args.binDir.parent_path() / "server" / "ArkApi" / "Plugins" / "Quorvane";
        for (const auto& server : servers) {
            const auto dir = std::filesystem::absolute(args.workDir) / server.key;
            const auto pluginDir = dir / "ArkApi" / "Plugins" / "Quorvane";
            std::filesystem::create_directories(pluginDir);
            std::filesystem::create_directories(dir / "ArkApi" / "Logs");
            std::filesystem::remove(pluginDir / "Quorvane.so");
            std::filesystem::create_symlink(plugin / "Quorvane.so", pluginDir / "Quorvane.so");
            std::filesystem::copy_file(plugin / "PluginInfo.json", pluginDir / "PluginInfo.json",
                                       std::filesystem::copy_options::overwrite_existing);
            std::ofstream(pluginDir / "config.json") << config.dump(2) << '\n';
            print("cluster", "Starting " + server.key +
                                 " with RCON on 127.0.0.1:" + std::to_string(server.port));
            // Two players on each server, so that what players see shows in its lines.
            children.Start(
                server.key, args.binDir / "GameServer",
                {"TheIsland_WP?listen?RCONEnabled=True?RCONPort=" + std::to_string(server.port) +
                     "?ServerAdminPassword=" + server.password,
                 "-serverkey=" + server.key, "--time-scale=" + std::to_string(args.timeScale),
                 "--rcon-record=" + (dir / "rcon.jsonl").string(), "--players=2"},
                dir);
            ana.Watch(server.key, server.port, server.password);
        }
        print("cluster", "Discord webhook: " + webhook);

        const auto deadline =
            args.runForSeconds
                ? std::chrono::steady_clock::now() +
                      std::chrono::milliseconds(static_cast<long long>(*args.runForSeconds * 1000))
                : std::chrono::steady_clock::time_point::max();
        children.Pump(relay, deadline, StopRequested);
        print("cluster", "Stopping");
        const bool clean = children.StopAll(relay, std::chrono::seconds(20));
        print("cluster", clean ? "Stopped" : "Stopped, but not every process ended cleanly");
        return clean ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << "cluster-launcher: " << e.what() << "\n";
        children.StopAll(relay, std::chrono::seconds(5));
        return 2;
    }
}
