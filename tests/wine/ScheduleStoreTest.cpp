// schedule.json shared by the servers of a cluster under Windows: several processes keep their
// entries through the plugin's store at once, locked with LockFileEx, and none loses another's.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <nlohmann/json.hpp>

#include "WindowsServerDir.h"
#include "WineEnvironment.h"
#include "WineProcess.h"

namespace {

TEST(ScheduleStoreTest, ServersWritingAtOnceKeepEveryEntry) {
    constexpr int kServers = 4;
    wine_testing::WindowsServerDir dir;
    const auto file = dir.PluginDir() / "schedule.json";
    std::vector<std::unique_ptr<wine_testing::WineProcess>> writers;
    for (int i = 0; i < kServers; ++i) {
        writers.push_back(std::make_unique<wine_testing::WineProcess>(
            wine_testing::WindowsProgram("schedule-writer.exe"),
            std::vector<std::string>{wine_testing::WindowsPath(file), "S" + std::to_string(i),
                                     "25"},
            dir.Path()));
    }
    for (auto& writer : writers) {
        const auto result = writer->Wait(std::chrono::seconds(180));
        EXPECT_EQ(result.exitCode, 0) << result.output;
    }
    const auto kept = nlohmann::json::parse(std::ifstream(file));
    for (int i = 0; i < kServers; ++i) {
        const std::string server = "S" + std::to_string(i);
        EXPECT_EQ(kept.value(server, nlohmann::json())["next"], "2030-01-01T00:00:25Z") << server;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.PluginDir() / "schedule.json.broken"));
}

}  // namespace
