#include "Host/PluginLoader.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <utility>

#include <nlohmann/json.hpp>

#include "API/ARK/Ark.h"
#include "Host/Runtime.h"
#include "HostInternal.h"
#include "Module.h"
#include "PluginInfo.h"

namespace asahost {
namespace {

// The framework version that plugins' MinApiVersion is checked against: the real
// framework's current one.
constexpr float kApiVersion = 2.03f;

std::recursive_mutex& LoaderMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

std::vector<PluginModule>& Loaded() {
    static std::vector<PluginModule> plugins;
    return plugins;
}

bool& LoaderCommandsRegistered() {
    static bool registered = false;
    return registered;
}

// The automatic reload: as read when the plugins were loaded, the next look (wall-clock
// seconds; the framework starts at 5, so the first look comes at the first pass), and the
// plugins already warned that PreventUnloading holds their new library back.
struct AutomaticReload {
    PluginReloadSettings settings;
    std::time_t nextCheck = 5;
    std::set<std::string> preventUnloadWarned;
};

AutomaticReload& Reload() {
    static AutomaticReload reload;
    return reload;
}

std::filesystem::path PluginsDir() {
    return std::filesystem::absolute(CurrentOptions().serverDir) / "ArkApi" / "Plugins";
}

bool SameLettersInAnyCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// `relative` below `base`, each of its parts found in any letter case, as Windows finds files;
// none when one is missing. A part spelt exactly as on disk is taken first.
std::optional<std::filesystem::path> FindInAnyCase(const std::filesystem::path& base,
                                                   const std::filesystem::path& relative) {
    std::filesystem::path at = base;
    for (const auto& part : relative) {
        std::error_code ec;
        if (std::filesystem::exists(at / part, ec)) {
            at /= part;
            continue;
        }
        std::optional<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(at, ec)) {
            if (SameLettersInAnyCase(entry.path().filename().string(), part.string())) {
                found = entry.path();
                break;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        at = *found;
    }
    return at;
}

// The library of plugin `name` as the framework names it, and as found.
std::filesystem::path LibraryPath(const std::string& name) {
    return PluginsDir() / name / (name + module::Suffix());
}
std::optional<std::filesystem::path> FindLibrary(const std::string& name) {
    return FindInAnyCase(PluginsDir(), std::filesystem::path(name) / (name + module::Suffix()));
}

// The folder's PluginInfo.json; without one, the defaults.
nlohmann::json PluginInfoIn(const std::filesystem::path& folder) {
    if (const auto found = FindInAnyCase(folder, "PluginInfo.json")) {
        if (std::ifstream file(*found); file) {
            return ReadPluginInfo(&file);
        }
    }
    return ReadPluginInfo(nullptr);
}

std::vector<PluginModule>::iterator FindLoaded(const std::string& name) {
    // As the framework: the name as written.
    return std::find_if(Loaded().begin(), Loaded().end(),
                        [&](const PluginModule& plugin) { return plugin.name == name; });
}

std::string Joined(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& word : words) {
        out += (out.empty() ? "" : ", ") + word;
    }
    return out;
}

// Opens the library as the system's loader does, and says what the library did inside its
// load notification (on Windows, DllMain under the loader lock): the framework calls it made
// and, when the driver counts them, the threads it started.
void* OpenLibrary(const std::string& name, const std::filesystem::path& file,
                  const std::filesystem::path& openedAs) {
    const auto& countThreads = CurrentOptions().countThreads;
    const int threadsBefore = countThreads ? countThreads() : 0;
    std::string error;
    void* handle = nullptr;
    std::vector<std::string> calls;
    {
        const LoadNotification notification;
        handle = module::Open(file, openedAs, error);
        calls = notification.Calls();
    }
    if (handle == nullptr) {
        throw std::runtime_error("Failed to load plugin - " + name + "\nError: " + error);
    }
    if (countThreads) {
        Log().info("Threads started in the load notification of {}: {}", name,
                   countThreads() - threadsBefore);
    }
    if (!calls.empty()) {
        Log().warn(
            "{} used the framework in its load notification, under the loader lock on "
            "Windows: {}",
            name, Joined(calls));
    }
    return handle;
}

// Closes the library as the system's loader does, and says what the library did inside its
// detach notification, which then runs if nothing else holds the library.
void CloseLibrary(const std::string& name, void* handle) {
    const auto& countThreads = CurrentOptions().countThreads;
    const int threadsBefore = countThreads ? countThreads() : 0;
    std::vector<std::string> calls;
    {
        const LoadNotification notification;
        module::Close(handle);
        calls = notification.Calls();
    }
    if (countThreads) {
        Log().info("Threads ended in the unload notification of {}: {}", name,
                   threadsBefore - countThreads());
    }
    if (!calls.empty()) {
        Log().warn(
            "{} used the framework in its unload notification, under the loader lock on "
            "Windows: {}",
            name, Joined(calls));
    }
}

// Loads one plugin as the framework's LoadPlugin does, or throws with the framework's words.
// Like the framework, a field that was not read fails where it is first used: MinApiVersion
// before the library is loaded, the rest after (the library then stays loaded, unlisted).
// The library's exported Plugin_Init runs right after it is loaded, outside its load
// notification.
const PluginModule& LoadPluginLocked(const std::string& name) {
    const auto found = FindLibrary(name);
    if (!found) {
        throw std::runtime_error("Plugin " + name + " does not exist");
    }
    if (FindLoaded(name) != Loaded().end()) {
        throw std::runtime_error("Plugin " + name + " was already loaded");
    }
    auto info = PluginInfoIn(found->parent_path());
    const auto required = static_cast<float>(info["MinApiVersion"]);
    if (required != .0f && kApiVersion < required) {
        throw std::runtime_error("Plugin " + name + " requires newer API version!");
    }
    const auto path = LibraryPath(name);
    void* handle = OpenLibrary(name, *found, path);
    if (auto* init = reinterpret_cast<void (*)()>(module::Symbol(handle, "Plugin_Init"))) {
        init();
    }
    PluginModule plugin;
    plugin.name = name;
    plugin.path = path;
    plugin.file = *found;
    plugin.handle = handle;
    plugin.fullName = info["FullName"].get<std::string>();
    plugin.description = info["Description"].get<std::string>();
    plugin.version = static_cast<float>(info["Version"]);
    plugin.dependencies = info["Dependencies"].get<std::vector<std::string>>();
    plugin.preventUnloading = info.value("PreventUnloading", false);
    return Loaded().emplace_back(std::move(plugin));
}

// The plugin's own clean-up first, outside any lock of the plugin's, then everything of its
// that the framework holds, then its library. As the framework does, the timers go by the path
// built from the plugin's name, the rest by the module, whichever name it is loaded under.
void Unload(const PluginModule& plugin, bool callPluginUnload = true) {
    if (auto* unload = reinterpret_cast<void (*)()>(module::Symbol(plugin.handle, "Plugin_Unload"));
        unload != nullptr && callPluginUnload) {
        unload();
    }
    const auto file = module::FileOf(plugin.handle);
    DropRequestsOf(file);
    DropTimersOf(plugin.path);
    DropCommandsOf(file);
    DropHooksOf(file);
    ReclaimSinkFormatters();
    CloseLibrary(plugin.name, plugin.handle);
}

void UnloadPluginLocked(const std::string& name) {
    auto& plugins = Loaded();
    const auto found = FindLoaded(name);
    if (found == plugins.end()) {
        throw std::runtime_error("Plugin " + name + " is not loaded");
    }
    if (found->preventUnloading) {
        throw std::runtime_error("unloading is disabled (PreventUnloading=true)");
    }
    if (!FindLibrary(name)) {
        throw std::runtime_error("Plugin " + name + " does not exist");
    }
    const PluginModule plugin = *found;
    plugins.erase(found);
    Unload(plugin);
    Reload().preventUnloadWarned.erase(name);
}

// The new library waiting as <Name>.so.ArkApi beside <Name>.so in `folder` replaces it.
void ReplaceLibrary(const std::filesystem::path& folder, const std::string& name,
                    const std::filesystem::path& update) {
    const std::string library = name + module::Suffix();
    module::CopyOver(update, FindInAnyCase(folder, library).value_or(folder / library));
    std::filesystem::remove(update);
}

// What the framework saves before it reloads plugins, in case the reload brings the server down.
void SaveWorld() {
    Log().info("Saving world before reloading plugins");
    auto* gameMode = AsaApi::GetApiUtils().GetShooterGameMode();
    using Save = void (*)(AShooterGameMode*, bool, bool, bool);
    if (auto* save =
            reinterpret_cast<Save>(GetAddress("AShooterGameMode.SaveWorld(bool,bool,bool)"));
        save != nullptr && gameMode != nullptr) {
        save(gameMode, true, true, false);
    }
    Log().info("World saved.");
}

// Each plugin folder that has a new library waiting for a loaded plugin: the world saved once,
// the plugin unloaded, the new library copied over the old one and removed, the plugin loaded.
void ReloadChangedPlugins() {
    auto& reload = Reload();
    bool saveWorld = reload.settings.saveWorld;
    std::error_code ec;
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(PluginsDir(), ec)) {
        if (entry.is_directory()) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const auto& folder : folders) {
        const std::string name = folder.filename().stem().string();
        const auto update = FindInAnyCase(folder, name + module::Suffix() + ".ArkApi");
        if (!update || FindLoaded(name) == Loaded().end()) {
            continue;
        }
        if (FindLoaded(name)->preventUnloading) {
            if (reload.preventUnloadWarned.insert(name).second) {
                Log().warn(
                    "Plugin '{}' has PreventUnloading=true. Update pending - restart the server "
                    "to apply {}{}.ArkApi.",
                    name, name, module::Suffix());
            }
            continue;
        }
        if (std::exchange(saveWorld, false)) {
            SaveWorld();
        }
        try {
            UnloadPluginLocked(name);
            ReplaceLibrary(folder, name, *update);
            LoadPluginLocked(name);
            Log().info("Reloaded plugin - {}", name);
        } catch (const std::exception& e) {
            Log().warn("(API::PluginManager::DetectPluginChanges) {}", e.what());
        }
    }
}

// The plugin name after a command's first word, as the framework parses it; none without one.
std::optional<std::string> PluginNameIn(const FString& command) {
    std::istringstream words(ToUtf8(*command, command.Len()));
    std::string word;
    words >> word;
    if (!(words >> word)) {
        return std::nullopt;
    }
    return word;
}

// The framework's console and RCON commands, with its answers and log lines.
FString LoadCommand(FString* command) {
    const auto name = PluginNameIn(*command);
    if (!name) {
        return FString("Plugin not found");
    }
    try {
        LoadPlugin(*name);
    } catch (const std::exception& e) {
        Log().warn("(API::ArkBaseApi::LoadPlugin) {}", e.what());
        return FromUtf8(std::string("Failed to load plugin - ") + e.what());
    }
    Log().info("Loaded plugin - {}", *name);
    return FString("Successfully loaded plugin");
}

FString UnloadCommand(FString* command) {
    const auto name = PluginNameIn(*command);
    if (!name) {
        return FString("Plugin not found");
    }
    try {
        UnloadPlugin(*name);
    } catch (const std::exception& e) {
        Log().warn("(API::ArkBaseApi::UnloadPlugin) {}", e.what());
        return FromUtf8(std::string("Failed to unload plugin - ") + e.what());
    }
    Log().info("Unloaded plugin - {}", *name);
    return FString("Successfully unloaded plugin");
}

template <FString (*Command)(FString*)>
void AnswerConsole(APlayerController* player, FString* command, bool) {
    // As the framework: the answer is the message's format.
    const FString reply = Command(command);
    AsaApi::GetApiUtils().SendServerMessage(static_cast<AShooterPlayerController*>(player),
                                            FColorList::Green, *reply);
}

template <FString (*Command)(FString*)>
void AnswerRcon(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    FString reply = Command(&packet->Body);
    connection->SendMessageW(packet->Id, 0, &reply);
}

}  // namespace

nlohmann::json ReadPluginInfo(std::istream* file) {
    nlohmann::json read = nlohmann::json::object();
    nlohmann::json info = nlohmann::json::object();
    if (file != nullptr) {
        *file >> info;
    }
    try {
        read["FullName"] = info.value("FullName", "");
        read["Description"] = info.value("Description", "No description");
        read["Version"] = info.value("Version", 1.00f);
        read["MinApiVersion"] = info.value("MinApiVersion", .0f);
        read["Dependencies"] = info.value("Dependencies", std::vector<std::string>{});
        read["PreventUnloading"] = info.value("PreventUnloading", false);
    } catch (const std::exception& e) {
        Log().warn("(API::PluginManager::ReadPluginInfo) {}", e.what());
    }
    return read;
}

void LoadPlugins() {
    std::lock_guard lock(LoaderMutex());
    const auto pluginsDir = PluginsDir();
    std::error_code ec;
    if (!std::filesystem::is_directory(pluginsDir, ec)) {
        Log().warn("No plugin folder {}", pluginsDir.string());
        return;
    }
    std::vector<std::filesystem::path> folders;
    for (const auto& entry : std::filesystem::directory_iterator(pluginsDir, ec)) {
        if (entry.is_directory()) {
            folders.push_back(entry.path());
        }
    }
    std::sort(folders.begin(), folders.end());
    for (const auto& folder : folders) {
        const std::string name = folder.filename().stem().string();
        try {
            const auto pending = FindInAnyCase(
                pluginsDir, std::filesystem::path(name) / (name + module::Suffix() + ".ArkApi"));
            if (pending) {
                ReplaceLibrary(pending->parent_path(), name, *pending);
            }
            const auto& plugin = LoadPluginLocked(name);
            std::ostringstream line;
            line << "Loaded plugin " << (plugin.fullName.empty() ? name : plugin.fullName) << " V"
                 << plugin.version << " (" << plugin.description << ")";
            Log().info("{}", line.str());
        } catch (const std::exception& e) {
            Log().warn("(API::PluginManager::LoadAllPlugins) {}", e.what());
        }
    }
    Reload().settings = ReadPluginReloadSettings();
}

void LoadPlugin(const std::string& name) {
    std::lock_guard lock(LoaderMutex());
    LoadPluginLocked(name);
}

void UnloadPlugin(const std::string& name) {
    std::lock_guard lock(LoaderMutex());
    UnloadPluginLocked(name);
}

void UnloadPlugins() {
    std::lock_guard lock(LoaderMutex());
    auto& plugins = Loaded();
    while (!plugins.empty()) {
        PluginModule plugin = plugins.back();
        plugins.pop_back();
        Unload(plugin);
        Log().info("Unloaded plugin {}", plugin.name);
    }
}

void FreePluginsWithoutUnload() {
    std::lock_guard lock(LoaderMutex());
    auto& plugins = Loaded();
    while (!plugins.empty()) {
        PluginModule plugin = plugins.back();
        plugins.pop_back();
        Unload(plugin, false);
        Log().info("Freed plugin {} without Plugin_Unload", plugin.name);
    }
}

void CheckPluginChanges() {
    std::lock_guard lock(LoaderMutex());
    auto& reload = Reload();
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    if (now < reload.nextCheck || !reload.settings.enabled) {
        return;
    }
    reload.nextCheck = now + reload.settings.seconds;
    ReloadChangedPlugins();
}

void StopPluginReloading() {
    std::lock_guard lock(LoaderMutex());
    Reload() = {};
}

std::vector<PluginModule> LoadedPlugins() {
    std::lock_guard lock(LoaderMutex());
    return Loaded();
}

void RegisterLoaderCommands() {
    if (std::exchange(LoaderCommandsRegistered(), true)) {
        return;
    }
    auto& commands = AsaApi::GetCommands();
    commands.AddConsoleCommand(FString("plugins.load"), &AnswerConsole<&LoadCommand>);
    commands.AddConsoleCommand(FString("plugins.unload"), &AnswerConsole<&UnloadCommand>);
    commands.AddRconCommand(FString("plugins.load"), &AnswerRcon<&LoadCommand>);
    commands.AddRconCommand(FString("plugins.unload"), &AnswerRcon<&UnloadCommand>);
}

void RemoveLoaderCommands() {
    if (!std::exchange(LoaderCommandsRegistered(), false)) {
        return;
    }
    auto& commands = AsaApi::GetCommands();
    for (const char* name : {"plugins.load", "plugins.unload"}) {
        commands.RemoveConsoleCommand(FString(name));
        commands.RemoveRconCommand(FString(name));
    }
}

}  // namespace asahost
