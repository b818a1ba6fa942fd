// schedule.json shared by the servers of a cluster that run from one folder: several processes
// keep their entries through the plugin's store at once, and none loses another's.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BackgroundProcess.h"
#include "ServerDir.h"

namespace {

TEST(ScheduleStoreTest, ServersWritingAtOnceKeepEveryEntry) {
    constexpr int kServers = 6;
    constexpr int kWrites = 40;
    testing_support::ServerDir dir;
    const auto folder = dir.Path() / "cluster";
    std::filesystem::create_directories(folder);
    const auto file = folder / "schedule.json";
    // What another server keeps beside its next time stays, as does one this file's servers do
    // not run.
    std::ofstream(file) << R"({"S0": {"next": "2029-01-01T00:00:00Z", "ends": [1]},
                               "Other": {"next": "2029-01-01T00:00:00Z"}})";
    std::vector<std::unique_ptr<testing_support::BackgroundProcess>> writers;
    for (int i = 0; i < kServers; ++i) {
        writers.push_back(std::make_unique<testing_support::BackgroundProcess>(
            SCHEDULE_WRITER_FILE,
            std::vector<std::string>{file.string(), "S" + std::to_string(i),
                                     std::to_string(kWrites)},
            dir.Path()));
    }
    for (auto& writer : writers) {
        EXPECT_EQ(writer->Wait(std::chrono::seconds(120)), 0) << writer->Output();
    }
    const auto kept = nlohmann::json::parse(std::ifstream(file));
    for (int i = 0; i < kServers; ++i) {
        const std::string server = "S" + std::to_string(i);
        EXPECT_EQ(kept.value(server, nlohmann::json())["next"], "2030-01-01T00:00:40Z") << server;
    }
    EXPECT_EQ(kept["S0"]["ends"], nlohmann::json::array({1}));
    EXPECT_EQ(kept["Other"]["next"], "2029-01-01T00:00:00Z");
    // Nothing left beside it but the lock.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"schedule.json", "schedule.json.lock"}));
}

}  // namespace
