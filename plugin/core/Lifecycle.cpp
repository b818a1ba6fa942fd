#include "core/Lifecycle.h"

#include <cstdio>
#include <exception>

#include "config/ConfigParser.h"
#include "config/ConfigReader.h"
#include "core/PluginLog.h"
#include "events/EventLauncher.h"
#include "events/EventRandom.h"
#include "notify/RconFanout.h"

namespace quorvane {
namespace {

constexpr const char* kBeginPlay = "AShooterGameMode.BeginPlay()";

// Written by the host when it installs the hook: the game's own BeginPlay.
void (*BeginPlayTrampoline)(AShooterGameMode*) = nullptr;

}  // namespace

void Load() {
    auto& log = PluginLog();
    try {
        CreatePluginLog();
        ReadConfig();
        SeedEventRandom();
        RconFanout::Start();
        AsaApi::GetHooks().SetHook(kBeginPlay,
                                   reinterpret_cast<LPVOID>(&Hook_AShooterGameMode_BeginPlay),
                                   &BeginPlayTrampoline);
        if (AsaApi::GetApiUtils().GetStatus() == AsaApi::ServerStatus::Ready) {
            ScheduleFirstEvent();
        }
    } catch (const ConfigError& e) {
        log->info("{}", e.what());
        const auto& problem = e.Problem();
        log->error("Quorvane is inactive: {}{}{}: {}", e.File(), problem.pointer.empty() ? "" : " ",
                   problem.pointer, problem.reason);
    } catch (const std::exception& e) {
        if (log) {
            log->info("{}", e.what());
            log->error("Quorvane is inactive: {}", e.what());
        } else {
            // No logger to report to: the host's own stderr is all there is.
            std::fprintf(stderr, "Quorvane: %s\n", e.what());
        }
    }
}

void Unload() {
    AsaApi::GetHooks().DisableHook(kBeginPlay,
                                   reinterpret_cast<LPVOID>(&Hook_AShooterGameMode_BeginPlay));
    // Nothing of the plugin's may run once its code is gone. Normally Plugin_Unload has
    // stopped the delivery already, outside the loader's lock; then this does nothing.
    RconFanout::Stop();
}

void StopPlugin() {
    RconFanout::Stop();
}

void Hook_AShooterGameMode_BeginPlay(AShooterGameMode* gameMode) {
    BeginPlayTrampoline(gameMode);
    ScheduleFirstEvent();
}

}  // namespace quorvane
