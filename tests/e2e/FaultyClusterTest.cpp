// A cluster with a server for every way of failing, sorted first to last: one that accepts and
// never answers, one that refuses connections, one that answers after 2 s, one that refuses
// the password; then two live ones, the first of them the plugin's own. Through a client
// without a time-out and through the bundled one, every live server hears every broadcast
// within a second of the own server's command, one warning per event names each faulty
// server with its reason, and no client outlives its deadline or the server's unloading.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "LogLines.h"
#include "RconListener.h"
#include "ScriptedServer.h"
#include "ServerDir.h"
#include "SilentServer.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

constexpr const char* kCommand = "StartWorldEvent meteor 1 2 3";
constexpr const char* kBroadcast = "Meteor on Live at 0.000000 / 0.000000";

// A listener on loopback that notes when each command arrived.
class TimedListener {
  public:
    explicit TimedListener(std::string password = "pw",
                           std::chrono::milliseconds answerAfter = {}) {
        gameserver::RconListenerOptions options;
        options.password = std::move(password);
        options.console = [this, answerAfter](const std::string& command, int) {
            {
                std::lock_guard lock(mutex_);
                arrivals_.emplace_back(command, Clock::now());
            }
            std::this_thread::sleep_for(answerAfter);
            return std::string();
        };
        listener_ = std::make_unique<gameserver::RconListener>(std::move(options));
        listener_->Start();
    }
    ~TimedListener() { listener_->Stop(); }

    int Port() const { return listener_->Port(); }
    std::vector<Clock::time_point> Arrivals(const std::string& command) const {
        std::lock_guard lock(mutex_);
        std::vector<Clock::time_point> times;
        for (const auto& [text, time] : arrivals_) {
            if (text == command) {
                times.push_back(time);
            }
        }
        return times;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, Clock::time_point>> arrivals_;
    std::unique_ptr<gameserver::RconListener> listener_;
};

// The processes now running `program` with one of `ports` among their arguments: this test's
// clients, not those of tests that run beside it.
std::vector<pid_t> ClientsOf(const std::filesystem::path& program, const std::vector<int>& ports) {
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::error_code gone;
        if (!std::filesystem::equivalent(std::filesystem::read_symlink(entry.path() / "exe", gone),
                                         program, gone)) {
            continue;
        }
        std::ifstream file(entry.path() / "cmdline", std::ios::binary);
        std::string arguments((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
        for (const int port : ports) {
            if (arguments.find(std::string("-P") + std::to_string(port) + '\0') !=
                std::string::npos) {
                pids.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
        }
    }
    return pids;
}

// How long ago process `pid` started: its start in clock ticks after boot, field 22 of
// /proc/PID/stat, against the time since boot.
std::chrono::duration<double> AgeOf(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));  // past the command name
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    double uptime = 0;
    std::ifstream("/proc/uptime") >> uptime;
    return std::chrono::duration<double>(uptime - std::stod(field) /
                                                      static_cast<double>(sysconf(_SC_CLK_TCK)));
}

json Section(int port, const std::string& password = "pw") {
    return {{"Serverlabel", "x"},
            {"RconSettings",
             {{"RconIP", "127.0.0.1"}, {"RconPort", port}, {"RconPassword", password}}}};
}

void RunFaultyCluster(const std::filesystem::path& client) {
    rcon_testing::SilentServer silent;
    const int refused = rcon_testing::UnusedPort();
    TimedListener slow("pw", std::chrono::seconds(2));
    TimedListener wrongPassword("other");
    TimedListener live;  // the plugin's own server
    TimedListener otherLive;

    json config = {{"DiscordWebhook", ""},
                   {"DiscordBroadcastMessage", "m"},
                   {"DiscordBroadcastHeader", "h"},
                   {"DiscordWebhookColor", "1"},
                   {"ServerEventsCommand", "StartWorldEvent"},
                   {"BroadcastStartEventMessage", "{Eventlabel} on {Serverlabel} at {Lat} / {Lon}"},
                   {"MCRconPath", client.string()},
                   {"RconClientTimeoutSeconds", 4.5},
                   {"A_Silent", Section(silent.Port())},
                   {"B_Refused", Section(refused)},
                   {"C_Slow", Section(slow.Port())},
                   {"D_WrongPassword", Section(wrongPassword.Port())},
                   {"Live", Section(live.Port())},
                   {"Z_Live", Section(otherLive.Port())}};
    config["Live"]["Serverlabel"] = "Live";
    config["Live"]["StartEventOnBootSettings"] = {{"MinimumTimeToWait", 0},
                                                  {"MaximumTimeToWait", 0}};
    config["Live"]["TimeBetweenEvents"] = {{"MinimumTimeToNextEvent", 2},
                                           {"MaximumTimeToNextEvent", 2}};
    config["Live"]["RandomEvents"] = {
        {"meteor", {{"Eventlabel", "Meteor"}, {"RandomCCCs", {"1 2 3"}}}}};
    testing_support::ServerDir dir;
    dir.WriteConfig(config.dump());

    // An event every two game minutes, two real seconds at 60: deliveries overlap.
    testing_support::BackgroundProcess server(testing_support::GameServerProgram(),
                                              {"-serverkey=Live", "--time-scale=60", "--no-world"},
                                              dir.Path());
    // Long enough for two events to be reported in full, and a third under way. The deadline
    // comes before the bundled client's own time-out (5 s), well after the slow answer.
    std::this_thread::sleep_for(std::chrono::milliseconds(12000));
    // A client past its deadline (4.5 s, and a little for a busy machine) is gone.
    const std::vector<int> ports = {silent.Port(),        refused,     slow.Port(),
                                    wrongPassword.Port(), live.Port(), otherLive.Port()};
    for (const pid_t pid : ClientsOf(client, ports)) {
        EXPECT_LT(AgeOf(pid).count(), 7.0) << "client " << pid;
    }
    ASSERT_EQ(server.Stop(), 0) << server.Output();
    EXPECT_TRUE(ClientsOf(client, ports).empty()) << "a client outlived the unloading";

    const auto commands = live.Arrivals(kCommand);
    ASSERT_GE(commands.size(), 3u) << server.Output();
    for (const auto* listener : {&live, &otherLive}) {
        const auto broadcasts = listener->Arrivals(kBroadcast);
        ASSERT_GE(broadcasts.size(), 2u) << server.Output();
        for (std::size_t i = 0; i < broadcasts.size(); ++i) {
            EXPECT_LT(broadcasts[i] - commands[i], std::chrono::seconds(1)) << "event " << i;
        }
    }
    EXPECT_GE(slow.Arrivals(kBroadcast).size(), 2u);

    std::map<std::string, int> warnings;
    for (const auto& line : testing_support::LogLinesOf(server.Output(), "Quorvane")) {
        if (line.find("][warning]") != std::string::npos) {
            ++warnings[line];
        }
    }
    const std::string prefix = "[Quorvane][warning] RCON broadcast of event meteor to ";
    const std::map<std::string, int> atLeastTwice = {
        {prefix + "A_Silent (127.0.0.1:" + std::to_string(silent.Port()) +
             ") failed: ended after 4.5 s",
         2},
        {prefix + "B_Refused (127.0.0.1:" + std::to_string(refused) + ") failed: exit code 3", 2},
        {prefix + "D_WrongPassword (127.0.0.1:" + std::to_string(wrongPassword.Port()) +
             ") failed: exit code 4",
         2}};
    for (const auto& [line, count] : warnings) {
        ASSERT_TRUE(atLeastTwice.contains(line)) << "unexpected: " << line;
        EXPECT_GE(count, 2) << line;
        EXPECT_LE(static_cast<std::size_t>(count), commands.size()) << line;
    }
    EXPECT_EQ(warnings.size(), atLeastTwice.size()) << server.Output();
}

TEST(FaultyClusterTest, AClientWithoutATimeOut) {
    RunFaultyCluster(PATIENT_CLIENT_FILE);
}

TEST(FaultyClusterTest, TheBundledClient) {
    RunFaultyCluster(RCON_CLIENT_FILE);
}

}  // namespace
