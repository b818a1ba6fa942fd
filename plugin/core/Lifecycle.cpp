#include "core/Lifecycle.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "config/ConfigParser.h"
#include "config/ConfigReader.h"
#include "core/Commands.h"
#include "core/PluginLog.h"
#include "events/EventLauncher.h"
#include "events/EventRandom.h"
#include "events/EventTimer.h"
#include "notify/RconFanout.h"

namespace quorvane {
namespace {

constexpr const char* kBeginPlay = "AShooterGameMode.BeginPlay()";

// Written by the host when it installs the hook: the game's own BeginPlay.
void (*BeginPlayTrampoline)(AShooterGameMode*) = nullptr;

}  // namespace

namespace {

// What Load got to, so that a reload can do the rest once.
struct Activity {
    std::optional<std::string> inactive;  // why, when the plugin is inactive
    bool seeded = false;
    bool hooked = false;
};

Activity& State() {
    static Activity activity;
    return activity;
}

std::string Describe(const ConfigError& e) {
    const auto& problem = e.Problem();
    return e.File() + (problem.pointer.empty() ? "" : " ") + problem.pointer + ": " +
           problem.reason;
}

// The steps after the settings, each once: the random engine, the delivery, the hook, and the
// first event when the server is up already.
void Activate() {
    auto& state = State();
    if (!state.seeded) {
        SeedEventRandom();
        state.seeded = true;
    }
    RconFanout::Start();
    if (!state.hooked) {
        AsaApi::GetHooks().SetHook(kBeginPlay,
                                   reinterpret_cast<LPVOID>(&Hook_AShooterGameMode_BeginPlay),
                                   &BeginPlayTrampoline);
        state.hooked = true;
    }
    state.inactive.reset();
    if (AsaApi::GetApiUtils().GetStatus() == AsaApi::ServerStatus::Ready) {
        ScheduleFirstEvent();
    }
}

}  // namespace

void Load() {
    auto& log = PluginLog();
    State() = {};
    State().inactive = "not loaded";
    try {
        CreatePluginLog();
        // Also while inactive: a reload is what makes it active.
        RegisterCommands();
        ReadConfig();
        Activate();
    } catch (const ConfigError& e) {
        State().inactive = Describe(e);
        log->info("{}", e.what());
        log->error("Quorvane is inactive: {}", *State().inactive);
    } catch (const std::exception& e) {
        State().inactive = e.what();
        if (log) {
            log->info("{}", e.what());
            log->error("Quorvane is inactive: {}", e.what());
        } else {
            // No logger to report to: the host's own stderr is all there is.
            std::fprintf(stderr, "Quorvane: %s\n", e.what());
        }
    }
}

const std::optional<std::string>& InactiveReason() {
    return State().inactive;
}

std::string Reload() {
    const bool wasActive = !State().inactive;
    try {
        ReadConfig();
    } catch (const ConfigError& e) {
        const std::string line = "Reload refused: " + Describe(e);
        PluginLog()->warn("{}", line);
        return line + "\n" + (wasActive ? "The running settings stay" : "Quorvane stays inactive");
    }
    if (!wasActive) {
        Activate();
    } else if (LastArmedTimer()) {
        // From the next event on: the running chain waits by the new bounds.
        const Settings& s = EventSettings();
        DropEventTimers();
        ArmEventTimer(&StartEvent, MinutesToSeconds(RandomInt(s.MinimumTimeToNextEvent,
                                                              s.MaximumTimeToNextEvent)));
    }
    std::string reply = wasActive ? "Reloaded" : "Reloaded: active";
    if (const auto& timer = LastArmedTimer()) {
        reply += "\nNext event: timer of " + std::to_string(timer->seconds) + " s";
    }
    PluginLog()->info("{}", reply.substr(0, reply.find('\n')));
    return reply;
}

void Unload() {
    RemoveCommands();
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
    // Inside the game's own BeginPlay: nothing may escape into it.
    try {
        ScheduleFirstEvent();
    } catch (const std::exception& e) {
        PluginLog()->error("No event chain started: {}", e.what());
    } catch (...) {
        PluginLog()->error("No event chain started: unknown error");
    }
}

}  // namespace quorvane
