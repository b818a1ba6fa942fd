// Hooks as the framework sets and takes them off: its own detour on the game's BeginPlay makes
// the server ready, so a plugin's detour sees it ready once it has called through; a detour
// taken off has its trampoline nulled.

#include <gtest/gtest.h>

#include "GameMode.h"
#include "Host/GameRegistry.h"
#include "TestHost.h"

namespace {

void (*trampoline)(AShooterGameMode*) = nullptr;
AsaApi::ServerStatus before = AsaApi::ServerStatus::Ready;
AsaApi::ServerStatus after = AsaApi::ServerStatus::Loading;

void Detour(AShooterGameMode* gameMode) {
    before = AsaApi::GetApiUtils().GetStatus();
    trampoline(gameMode);
    after = AsaApi::GetApiUtils().GetStatus();
}

TEST(HooksTest, ThePluginsDetourSeesTheServerReadyAfterTheGamesBeginPlay) {
    http_testing::TestHost host;
    gameserver::RegisterGameMode();
    asahost::InstallFrameworkHooks();
    asahost::SetServerStatus(AsaApi::ServerStatus::Loading);
    const char* kBeginPlay = "AShooterGameMode.BeginPlay()";
    ASSERT_TRUE(
        AsaApi::GetHooks().SetHook(kBeginPlay, reinterpret_cast<LPVOID>(&Detour), &trampoline));
    const int runs = gameserver::BeginPlayRuns();
    gameserver::RunBeginPlay(gameserver::TheGameMode());
    EXPECT_EQ(gameserver::BeginPlayRuns(), runs + 1);
    EXPECT_EQ(before, AsaApi::ServerStatus::Loading);
    EXPECT_EQ(after, AsaApi::ServerStatus::Ready);

    ASSERT_TRUE(AsaApi::GetHooks().DisableHook(kBeginPlay, reinterpret_cast<LPVOID>(&Detour)));
    EXPECT_EQ(trampoline, nullptr);
    asahost::ClearRegistry();
}

}  // namespace
