#pragma once
// The plugin's one state, made when the library is attached and ended by Plugin_Unload: the
// settings, the event chain, the RCON delivery, the Discord announcements and why the plugin
// is inactive. Every entry point (the library's notifications, the hook's detour, the timers,
// the commands, the requests' completions) reaches it through Get, on the game thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "events/EventChain.h"
#include "events/ScheduleStore.h"
#include "history/EventHistory.h"
#include "notify/DiscordNotifier.h"
#include "notify/RconService.h"

namespace quorvane {

class Plugin {
  public:
    // The running plugin; null before Load and after Stop.
    static Plugin* Get();

    // Plugin_Init, which the framework calls on the game thread once it has loaded the
    // library, outside the loader lock: the log, the commands, the settings, the plugin's
    // threads, the BeginPlay hook and, when the server is up already, the first event's timer.
    // A standard exception is logged and leaves the plugin inactive. While the plugin runs
    // (the framework loaded the same library under a second name), one warning and nothing
    // else.
    static void Load();
    // Plugin_Unload, which the framework calls on the game thread before it frees the
    // library: the timers, the hook, the commands, the RCON delivery and its clients, and the
    // state itself. The only place that waits for the plugin's threads. With the library
    // loaded under two names, the first of the two stops everything.
    static void Stop();
    // The library's detach notification: nothing at process exit, when the other threads are
    // gone and the framework never calls Plugin_Unload, and nothing after Stop. Freed without
    // Plugin_Unload, it drops the state without waiting for anything or calling the framework:
    // no thread of the plugin's runs by then, as each holds the library.
    static void Detach(bool processExiting);

    // Runs `what` on the running plugin, if any, from an entry point the game calls with
    // nothing around it: an exception is logged after `failure`, never passed on.
    static void Enter(const char* failure, const std::function<void(Plugin&)>& what);

    // Why the plugin is inactive ("FILE POINTER: REASON"); none while it is active.
    const std::optional<std::string>& InactiveReason() const { return inactive_; }
    // Whether the BeginPlay hook was refused.
    bool HookRefused() const { return hookRefused_; }
    const Settings& CurrentSettings() const { return settings_; }
    EventChain& Chain() { return chain_; }
    RconService& Rcon() { return rcon_; }
    DiscordNotifier& Discord() { return discord_; }
    EventHistory& History() { return history_; }

    // Reads config.json again. Good: the new settings hold from the next event on, and a
    // running chain waits by the new bounds; an inactive plugin becomes active. Broken:
    // nothing changes. What happened, for an admin.
    std::string Reload();

  private:
    Plugin();
    // The steps after the settings: the plugin's threads, the random engine and the hook, each
    // once, and the first event when the server is up already.
    void Activate();
    void Shutdown();

    Settings settings_;
    EventHistory history_;
    ScheduleStore schedule_;
    RconService rcon_;
    DiscordNotifier discord_;
    EventChain chain_;
    std::optional<std::string> inactive_ = "not loaded";
    bool seeded_ = false;
    bool hooked_ = false;
    bool hookRefused_ = false;
    // The chat command registered for PlayerCommand; empty: none.
    std::string playerCommand_;
};

}  // namespace quorvane
