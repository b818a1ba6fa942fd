#pragma once
// What an in-process test of the event chain stands on: the host stand-in at a time scale, a
// game world, a scripted RCON delivery (no processes, so that it can run many events), the
// Discord announcements and the history. The chain itself is the test's.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "PluginHost.h"
#include "ScriptedClientEnv.h"
#include "config/Settings.h"
#include "history/EventHistory.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconService.h"

namespace testing_support {

class ChainFixture : public ::testing::Test {
  protected:
    explicit ChainFixture(double timeScale = 1.0) : host_(timeScale) {
        gameserver::RegisterWorldNames();
        world_ = std::make_unique<gameserver::GameWorld>(gameserver::DefaultMap());
        asahost::SetWorld(world_->World());
    }
    ~ChainFixture() override {
        EXPECT_TRUE(rcon_.WaitUntilIdle(std::chrono::seconds(30)));
        // Completions and timers run on the game thread: after this, none reaches the chain.
        host_.Game().Run([&] {
            discordAlive_ = false;
            discord_.DropTimers();
        });
        asahost::SetWorld(nullptr);
    }

    PluginHost host_;
    std::unique_ptr<gameserver::GameWorld> world_;
    quorvane::Settings settings_;
    ScriptedEnv* env_ = new ScriptedEnv;
    quorvane::RconService rcon_{std::unique_ptr<ScriptedEnv>(env_)};
    // As the plugin's own way back: nothing once the test is done with it.
    bool discordAlive_ = true;
    quorvane::DiscordNotifier discord_{settings_, "Quorvane (test, 1.0)", [this](const auto& what) {
                                           if (discordAlive_) {
                                               what(discord_);
                                           }
                                       }};
    std::filesystem::path history_file_ = host_.Dir().Path() / "events.jsonl";
    quorvane::EventHistory history_{history_file_};
    std::filesystem::path schedule_file_ = host_.Dir().Path() / "schedule.json";
};

}  // namespace testing_support
