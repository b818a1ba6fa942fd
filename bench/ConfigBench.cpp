// Reading a large cluster file, beside the JSON library's bare parse of the same file.

#include <benchmark/benchmark.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "PluginHost.h"
#include "config/ConfigReader.h"
#include "config/Settings.h"

namespace {

// 100 servers, 50 events each, 20 coordinates per event.
std::string LargeConfig() {
    nlohmann::json config = {{"DiscordWebhook", "https://discord.example/api/webhooks/1/x"},
                             {"DiscordBroadcastMessage", "{Eventlabel} on {Serverlabel}"},
                             {"MCRconPath", "rcon"},
                             {"DiscordBroadcastHeader", "h"},
                             {"DiscordWebhookColor", "255"},
                             {"ServerEventsCommand", "Start"},
                             {"BroadcastStartEventMessage", "{Eventlabel}"}};
    for (int server = 0; server < 100; ++server) {
        nlohmann::json events = nlohmann::json::object();
        for (int event = 0; event < 50; ++event) {
            nlohmann::json coordinates = nlohmann::json::array();
            for (int c = 0; c < 20; ++c) {
                coordinates.push_back(std::to_string(c * 1000.5) + " -" + std::to_string(c * 77) +
                                      " 350.25");
            }
            events["event" + std::to_string(event)] = {
                {"Eventlabel", "Event " + std::to_string(event)}, {"RandomCCCs", coordinates}};
        }
        config["Server" + std::to_string(server)] = {
            {"Serverlabel", "Server " + std::to_string(server)},
            {"RconSettings",
             {{"RconIP", "10.0.0.1"}, {"RconPort", 27020 + server}, {"RconPassword", "pw"}}},
            {"StartEventOnBootSettings", {{"MinimumTimeToWait", 5}, {"MaximumTimeToWait", 10}}},
            {"TimeBetweenEvents", {{"MinimumTimeToNextEvent", 30}, {"MaximumTimeToNextEvent", 60}}},
            {"RandomEvents", events}};
    }
    return config.dump(2);
}

class ConfigFile {
  public:
    ConfigFile() { host_.Dir().WriteConfig(LargeConfig()); }
    std::filesystem::path Path() { return host_.Dir().PluginDir() / "config.json"; }
    testing_support::PluginHost& Host() { return host_; }

  private:
    testing_support::PluginHost host_;
};

void BM_ReadConfig(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state) {
        const auto settings =
            quorvane::ReadConfig(file.Path(), [] { return std::string("Server42"); });
        benchmark::DoNotOptimize(settings.RandomEvents.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(file.Path())));
}
BENCHMARK(BM_ReadConfig)->Unit(benchmark::kMillisecond);

void BM_NlohmannParseOnly(benchmark::State& state) {
    ConfigFile file;
    for (auto _ : state) {
        std::ifstream stream(file.Path());
        nlohmann::json document;
        stream >> document;
        benchmark::DoNotOptimize(document.size());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(file.Path())));
}
BENCHMARK(BM_NlohmannParseOnly)->Unit(benchmark::kMillisecond);

}  // namespace
