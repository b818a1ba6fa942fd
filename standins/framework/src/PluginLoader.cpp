#include "Host/PluginLoader.h"

#include <algorithm>
#include <fstream>
#include <mutex>
#include <optional>
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

std::filesystem::path PluginsDir() {
    return std::filesystem::absolute(CurrentOptions().serverDir) / "ArkApi" / "Plugins";
}

// The folder's PluginInfo.json; without one, the defaults.
nlohmann::json PluginInfoIn(const std::filesystem::path& folder) {
    if (std::ifstream file(folder / "PluginInfo.json"); file) {
        return ReadPluginInfo(&file);
    }
    return ReadPluginInfo(nullptr);
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
void* OpenLibrary(const std::string& name, const std::filesystem::path& file) {
    const auto& countThreads = CurrentOptions().countThreads;
    const int threadsBefore = countThreads ? countThreads() : 0;
    std::string error;
    void* handle = nullptr;
    std::vector<std::string> calls;
    {
        const LoadNotification notification;
        handle = module::Open(file, error);
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

// Loads one plugin as the framework's LoadPlugin does, or throws with the framework's words.
// Like the framework, a field that was not read fails where it is first used: MinApiVersion
// before the library is loaded, the rest after (the library then stays loaded, unlisted).
// The library's exported Plugin_Init runs right after it is loaded, outside its load
// notification.
const PluginModule& LoadPluginLocked(const std::string& name) {
    const auto folder = PluginsDir() / name;
    const auto file = folder / (name + module::Suffix());
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        throw std::runtime_error("Plugin " + name + " does not exist");
    }
    auto& loaded = Loaded();
    if (std::any_of(loaded.begin(), loaded.end(),
                    [&](const PluginModule& plugin) { return plugin.name == name; })) {
        throw std::runtime_error("Plugin " + name + " was already loaded");
    }
    auto info = PluginInfoIn(folder);
    const auto required = static_cast<float>(info["MinApiVersion"]);
    if (required != .0f && kApiVersion < required) {
        throw std::runtime_error("Plugin " + name + " requires newer API version!");
    }
    void* handle = OpenLibrary(name, file);
    if (auto* init = reinterpret_cast<void (*)()>(module::Symbol(handle, "Plugin_Init"))) {
        init();
    }
    PluginModule plugin;
    plugin.name = name;
    plugin.path = file;
    plugin.handle = handle;
    plugin.fullName = info["FullName"].get<std::string>();
    plugin.description = info["Description"].get<std::string>();
    plugin.version = static_cast<float>(info["Version"]);
    plugin.dependencies = info["Dependencies"].get<std::vector<std::string>>();
    plugin.preventUnloading = info.value("PreventUnloading", false);
    return loaded.emplace_back(std::move(plugin));
}

// The plugin's own clean-up first, outside any lock of the plugin's, then everything of its
// that the framework holds, then its library.
void Unload(const PluginModule& plugin) {
    if (auto* unload =
            reinterpret_cast<void (*)()>(module::Symbol(plugin.handle, "Plugin_Unload"))) {
        unload();
    }
    DropRequestsOf(plugin.path);
    DropTimersOf(plugin.path);
    DropCommandsOf(plugin.path);
    DropHooksOf(plugin.path);
    ReclaimSinkFormatters();
    module::Close(plugin.handle);
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
        const std::string name = folder.filename().string();
        try {
            const auto& plugin = LoadPluginLocked(name);
            std::ostringstream line;
            line << "Loaded plugin " << (plugin.fullName.empty() ? name : plugin.fullName) << " V"
                 << plugin.version << " (" << plugin.description << ")";
            Log().info("{}", line.str());
        } catch (const std::exception& e) {
            Log().warn("(API::PluginManager::LoadAllPlugins) {}", e.what());
        }
    }
}

void LoadPlugin(const std::string& name) {
    std::lock_guard lock(LoaderMutex());
    LoadPluginLocked(name);
}

void UnloadPlugin(const std::string& name) {
    std::lock_guard lock(LoaderMutex());
    auto& plugins = Loaded();
    const auto found =
        std::find_if(plugins.begin(), plugins.end(),
                     [&](const PluginModule& plugin) { return plugin.name == name; });
    if (found == plugins.end()) {
        throw std::runtime_error("Plugin " + name + " is not loaded");
    }
    if (found->preventUnloading) {
        throw std::runtime_error("unloading is disabled (PreventUnloading=true)");
    }
    std::error_code ec;
    if (!std::filesystem::exists(found->path, ec)) {
        throw std::runtime_error("Plugin " + name + " does not exist");
    }
    const PluginModule plugin = *found;
    plugins.erase(found);
    Unload(plugin);
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
