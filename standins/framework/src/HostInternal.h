#pragma once
// Host-internal seams between its services and the plugin loader.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "API/UE/Containers/UnrealString.h"
#include "Host/Runtime.h"

namespace asahost {

const Options& CurrentOptions();

// While this thread opens or closes a plugin's library: on Windows the library's DllMain runs
// then, under the loader lock, where the framework must not be used. Each framework entry point
// a plugin can call notes itself, so that the loader can say which ones ran there.
class LoadNotification {
  public:
    LoadNotification();
    ~LoadNotification();
    LoadNotification(const LoadNotification&) = delete;
    LoadNotification& operator=(const LoadNotification&) = delete;

    // The entry points called so far, each once, in the order of their first call.
    const std::vector<std::string>& Calls() const { return calls_; }

  private:
    std::vector<std::string> calls_;
    std::vector<std::string>* previous_ = nullptr;
};
void NoteFrameworkCall(const char* what);

// Removes the commands of RegisterLoaderCommands, if they were added: when the framework stops.
void RemoveLoaderCommands();

// The framework's automatic reload of a plugin whose new library was dropped beside it, read
// from its own config.json ("settings") when the plugins are loaded.
struct PluginReloadSettings {
    bool enabled = false;
    int seconds = 5;
    bool saveWorld = true;
};
PluginReloadSettings ReadPluginReloadSettings();
// After each timer pass, on the game thread: every so many seconds, reloads the plugins that
// have a new library waiting.
void CheckPluginChanges();
// Off until the plugins are loaded again: when the framework stops.
void StopPluginReloading();

// Timer service.
void StartTimers(double timeScale);
void StopTimers();
// Drops the pending timers whose owner is `module`. On the game thread.
void DropTimersOf(const std::filesystem::path& module);
// Runs the due timers once a game second has passed since the last pass; true when it did. On
// the game thread.
bool RunTimerPass();

// Request service.
void StartRequests();
void StopRequests();
// Drops the requests that `module` made, with their completions. On the game thread.
void DropRequestsOf(const std::filesystem::path& module);
// Runs the completions of the requests answered since the last call. On the game thread.
void DeliverCompletions();

// Forgets the chat, console and RCON commands that `module` added.
void DropCommandsOf(const std::filesystem::path& module);
// The game's handling of a player's chat line, and the framework's detour on it, which runs
// the chat commands (InstallFrameworkHooks sets it when the game has the function).
inline constexpr const char* kSendChatMessage =
    "AShooterPlayerController.ServerSendChatMessage_Implementation(FString&,EChatSendMode::Type,"
    "int)";
void InstallChatHook();

// Takes off every hook whose detour lies in `module`.
void DropHooksOf(const std::filesystem::path& module);

// Gives every shared sink a formatter built by the host again. A plugin that set a pattern
// left formatter objects of its own code in them, which must not outlive that code.
void ReclaimSinkFormatters();

// FString code units as a path or as UTF-8, and UTF-8 as FString code units.
std::filesystem::path ToPath(const FString& text);
std::filesystem::path ToPath(std::wstring_view units);
std::string ToUtf8(const wchar_t* units, int count);
FString FromUtf8(const std::string& text);

// Whether a function name the game does not have is answered with null instead of ending
// the process: the framework's own config.json, "settings": {"HooksDoNotThrow": true}.
bool HooksDoNotThrow();

}  // namespace asahost
