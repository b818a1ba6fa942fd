#include "entry/Plugin.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <utility>

#include "base/Host.h"
#include "base/PluginLog.h"
#include "base/PluginName.h"
#include "config/ConfigParser.h"
#include "config/ConfigReader.h"
#include "config/ServerKey.h"
#include "entry/Commands.h"
#include "platform/ClientEnv.h"
#include "platform/Platform.h"

namespace quorvane {
namespace {

constexpr const char* kBeginPlay = "AShooterGameMode.BeginPlay()";

// Process-wide because the framework reaches the plugin only through plain functions: the
// library's notifications, Plugin_Unload and the hook's detour.
Plugin* running = nullptr;
bool stopped = false;
// Plugin_Init calls not yet matched by a Plugin_Unload: two while the framework holds the
// library under two names.
int entries = 0;
// Written by the host when it installs the hook: the game's own BeginPlay.
void (*BeginPlayTrampoline)(AShooterGameMode*) = nullptr;

void Hook_AShooterGameMode_BeginPlay(AShooterGameMode* gameMode) {
    BeginPlayTrampoline(gameMode);
    // Inside the game's own BeginPlay: nothing may escape into it.
    Plugin::Enter("No event chain started", [](Plugin& plugin) {
        if (!plugin.InactiveReason()) {
            plugin.Chain().ScheduleFirst();
        }
    });
}

void OnEventTimer(std::uint64_t step) {
    Plugin::Enter("Event not started", [step](Plugin& plugin) { plugin.Chain().OnTimer(step); });
}

std::string Describe(const ConfigError& e) {
    const auto& problem = e.Problem();
    return e.File() + (problem.pointer.empty() ? "" : " ") + problem.pointer + ": " +
           problem.reason;
}

Settings ReadSettings() {
    return ReadConfig(ConfigFilePath(), GetServerKey);
}

void ToDiscord(const std::function<void(DiscordNotifier&)>& what) {
    Plugin::Enter("Discord announcement not handled",
                  [&](Plugin& plugin) { what(plugin.Discord()); });
}

std::string LibraryFolder() {
    const auto folder = std::filesystem::path(platform::OwnModulePath()).parent_path().u8string();
    return std::string(folder.begin(), folder.end());
}

}  // namespace

Plugin::Plugin()
    : history_(ConfigFilePath().parent_path() / "events.jsonl"),
      schedule_(ConfigFilePath().parent_path() / "schedule.json"),
      rcon_(platform::SystemClientEnv()),
      discord_(settings_, DiscordUserAgent(PluginVersion()), &ToDiscord),
      chain_(settings_, {rcon_, discord_, history_, &OnEventTimer, &schedule_}) {}

Plugin* Plugin::Get() {
    return running;
}

void Plugin::Load() {
    ++entries;
    if (running != nullptr) {
        // The framework tells plugins apart by the name as written, and Windows finds the same
        // file under any letter case: the library is already running.
        PluginLog()->warn(
            "Quorvane is running already: the framework started its library ({}) a second "
            "time, as it does when plugins.load names the plugin in another letter case than "
            "the one it was loaded by. Nothing more is started; plugins.unload of either name "
            "stops Quorvane",
            LibraryFolder());
        return;
    }
    stopped = false;
    try {
        CreatePluginLog();
    } catch (const std::exception& e) {
        // No logger to report to: the host's own stderr is all there is.
        std::fprintf(stderr, "Quorvane: %s\n", e.what());
        return;
    }
    auto& log = PluginLog();
    try {
        running = new Plugin();
        // Also while inactive: a reload is what makes it active.
        RegisterCommands();
        running->settings_ = ReadSettings();
        ChangePlayerCommand(running->playerCommand_, running->settings_.PlayerCommand);
        running->Activate();
    } catch (const ConfigError& e) {
        running->inactive_ = Describe(e);
        log->info("{}", e.what());
        log->error("Quorvane is inactive: {}", *running->inactive_);
    } catch (const std::exception& e) {
        if (running != nullptr) {
            running->inactive_ = e.what();
        }
        log->info("{}", e.what());
        log->error("Quorvane is inactive: {}", e.what());
    }
}

void Plugin::Activate() {
    // Outside the loader lock, and before any event: no event waits for a thread to start.
    history_.Start();
    schedule_.Start();
    rcon_.Start();
    if (!seeded_) {
        chain_.Random().SeedFromDevice();
        seeded_ = true;
    }
    if (!hooked_) {
        hooked_ = true;
        hookRefused_ = !AsaApi::GetHooks().SetHook(
            kBeginPlay, reinterpret_cast<LPVOID>(&Hook_AShooterGameMode_BeginPlay),
            &BeginPlayTrampoline);
        if (hookRefused_) {
            PluginLog()->error(
                "The hook on {} could not be set: no event chain starts when the "
                "game begins play",
                kBeginPlay);
        }
    }
    inactive_.reset();
    if (AsaApi::GetApiUtils().GetStatus() == AsaApi::ServerStatus::Ready) {
        chain_.ScheduleFirst();
    }
}

std::string Plugin::Reload() {
    const bool wasActive = !inactive_;
    try {
        settings_ = ReadSettings();
    } catch (const ConfigError& e) {
        const std::string line = "Reload refused: " + Describe(e);
        PluginLog()->warn("{}", line);
        return line + "\n" + (wasActive ? "The running settings stay" : "Quorvane stays inactive");
    }
    discord_.Reloaded();
    rcon_.Reloaded();
    ChangePlayerCommand(playerCommand_, settings_.PlayerCommand);
    if (wasActive) {
        // From the next event on: the running chain waits by the new bounds.
        chain_.Rearm();
    } else {
        Activate();
    }
    std::string reply = wasActive ? "Reloaded" : "Reloaded: active";
    if (const auto& timer = chain_.Armed()) {
        reply += "\nNext event: timer of " + std::to_string(timer->Seconds) + " s";
    }
    PluginLog()->info("{}", reply.substr(0, reply.find('\n')));
    return reply;
}

void Plugin::Shutdown() {
    chain_.DropTimers();
    discord_.DropTimers();
    AsaApi::GetHooks().DisableHook(kBeginPlay,
                                   reinterpret_cast<LPVOID>(&Hook_AShooterGameMode_BeginPlay));
    RemoveCommands();
    ChangePlayerCommand(playerCommand_, {});
    rcon_.Stop();
    history_.Flush();
    schedule_.Stop();
}

void Plugin::Stop() {
    entries = (std::max)(entries - 1, 0);
    stopped = true;
    std::unique_ptr<Plugin> plugin(std::exchange(running, nullptr));
    if (!plugin) {
        return;
    }
    try {
        plugin->Shutdown();
    } catch (const std::exception& e) {
        PluginLog()->error("Unloading: {}", e.what());
    }
    plugin.reset();
    // The framework has just taken off, by module, the commands and the hook of both names:
    // whatever is unloaded first is the whole plugin.
    if (entries > 0) {
        PluginLog()->warn(
            "Quorvane stopped: the framework holds its library under another name as well, "
            "where it stays loaded with nothing running until that name is unloaded too");
    }
    ReleasePluginLog();
}

void Plugin::Detach(bool processExiting) {
    if (processExiting || stopped) {
        return;
    }
    // The library is freed without Plugin_Unload, under the loader's lock: nothing here waits
    // or calls the framework, which drops what it holds of the plugin by itself. No thread of
    // the plugin's is left (each holds the library while it runs), so the state goes as it is.
    stopped = true;
    entries = 0;
    delete std::exchange(running, nullptr);
    ReleasePluginLog();
}

void Plugin::Enter(const char* failure, const std::function<void(Plugin&)>& what) {
    try {
        if (running != nullptr) {
            what(*running);
        }
    } catch (const std::exception& e) {
        PluginLog()->error("{}: {}", failure, e.what());
    } catch (...) {
        PluginLog()->error("{}: unknown error", failure);
    }
}

}  // namespace quorvane
