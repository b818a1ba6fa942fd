#include "Host/GameRegistry.h"

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include <chrono>
#include <exception>
#include <thread>

#include "HostInternal.h"
#include "IApiUtils.h"
#include "IHooks.h"
#include "Module.h"

namespace asahost {
namespace {

struct Detour {
    void* function;
    void** trampoline;
};

struct Hookable {
    void* original = nullptr;
    std::vector<Detour> detours;  // oldest first

    void* Target() const { return detours.empty() ? original : detours.back().function; }
};

struct Registry {
    std::shared_mutex mutex;
    std::unordered_map<std::string, void*> functions;
    std::unordered_map<std::string, std::ptrdiff_t> fields;
    std::unordered_map<std::string, Hookable> hookables;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

// Takes detour `i` out of its chain: the one installed after it now calls what it called,
// and, as the framework does, its own trampoline is nulled.
void Unlink(std::vector<Detour>& detours, std::size_t i) {
    if (i + 1 < detours.size()) {
        *detours[i + 1].trampoline = *detours[i].trampoline;
    }
    *detours[i].trampoline = nullptr;
    detours.erase(detours.begin() + static_cast<std::ptrdiff_t>(i));
}

class Hooks final : public AsaApi::IHooks {
  public:
    bool DisableHook(const std::string& name, LPVOID detour) override {
        NoteFrameworkCall("AsaApi::IHooks::DisableHook");
        auto& registry = TheRegistry();
        std::unique_lock lock(registry.mutex);
        auto hookable = registry.hookables.find(name);
        if (hookable == registry.hookables.end()) {
            Log().warn("DisableHook: {} is not a hookable function", name);
            return false;
        }
        auto& detours = hookable->second.detours;
        for (std::size_t i = 0; i < detours.size(); ++i) {
            if (detours[i].function != detour) {
                continue;
            }
            Unlink(detours, i);
            Log().info("Hook removed from {}", name);
            return true;
        }
        Log().info("DisableHook: no such hook on {}", name);
        return false;
    }

    bool SetHookInternal(const std::string& name, LPVOID detour, LPVOID* original) override {
        NoteFrameworkCall("AsaApi::IHooks::SetHook");
        // As the framework: the function is looked up by name first, and a name the game
        // lacks ends the process, or with HooksDoNotThrow refuses the hook.
        if (GetAddress(name) == nullptr) {
            Log().error("[{}] {} does not exist", module::PathOf(detour).filename().string(), name);
            return false;
        }
        auto& registry = TheRegistry();
        std::unique_lock lock(registry.mutex);
        auto hookable = registry.hookables.find(name);
        if (hookable == registry.hookables.end() || detour == nullptr || original == nullptr) {
            Log().error("SetHook: cannot hook {}", name);
            return false;
        }
        // The trampoline is written before the game can reach the detour.
        *original = hookable->second.Target();
        hookable->second.detours.push_back({detour, original});
        Log().info("Hook set on {}", name);
        return true;
    }
};

class ApiUtils final : public AsaApi::IApiUtils {
  public:
    UWorld* GetWorld() const override {
        NoteFrameworkCall("AsaApi::IApiUtils::GetWorld");
        return world.load();
    }
    AShooterGameMode* GetShooterGameMode() const override {
        NoteFrameworkCall("AsaApi::IApiUtils::GetShooterGameMode");
        return gameMode.load();
    }
    AsaApi::ServerStatus GetStatus() const override {
        NoteFrameworkCall("AsaApi::IApiUtils::GetStatus");
        return status.load();
    }

    std::atomic<UWorld*> world{nullptr};
    std::atomic<AShooterGameMode*> gameMode{nullptr};
    std::atomic<AsaApi::ServerStatus> status{AsaApi::ServerStatus::Loading};
};

ApiUtils& TheApiUtils() {
    static ApiUtils utils;
    return utils;
}

// The framework's own detour on the game's BeginPlay: once the game's has run, the server is
// ready. Plugins' detours, installed later, run around it.
void (*frameworkBeginPlayTrampoline)(AShooterGameMode*) = nullptr;

void FrameworkBeginPlay(AShooterGameMode* gameMode) {
    frameworkBeginPlayTrampoline(gameMode);
    TheApiUtils().status = AsaApi::ServerStatus::Ready;
}

}  // namespace

void InstallFrameworkHooks() {
    AsaApi::GetHooks().SetHook("AShooterGameMode.BeginPlay()",
                               reinterpret_cast<LPVOID>(&FrameworkBeginPlay),
                               &frameworkBeginPlayTrampoline);
    if (HookTarget(kSendChatMessage) != nullptr) {
        InstallChatHook();
    }
}

void RegisterFunction(const std::string& name, void* address) {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.functions[name] = address;
}

void RegisterField(const std::string& name, std::ptrdiff_t offset) {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.fields[name] = offset;
}

void RegisterHookable(const std::string& name, void* original) {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.functions[name] = original;
    registry.hookables[name].original = original;
}

void* HookTarget(const std::string& name) {
    auto& registry = TheRegistry();
    std::shared_lock lock(registry.mutex);
    auto hookable = registry.hookables.find(name);
    return hookable == registry.hookables.end() ? nullptr : hookable->second.Target();
}

void SetServerStatus(AsaApi::ServerStatus status) {
    TheApiUtils().status = status;
}
void SetWorld(UWorld* world) {
    TheApiUtils().world = world;
}
void SetGameMode(AShooterGameMode* gameMode) {
    TheApiUtils().gameMode = gameMode;
}

void ForgetName(const std::string& name) {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.functions.erase(name);
    registry.fields.erase(name);
}

void DropHooksOf(const std::filesystem::path& module) {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    for (auto& [name, hookable] : registry.hookables) {
        auto& detours = hookable.detours;
        for (std::size_t i = detours.size(); i-- > 0;) {
            if (!module::SameFile(module::PathOf(detours[i].function), module)) {
                continue;
            }
            Unlink(detours, i);
            Log().info("Hook of {} removed from {}", module.filename().string(), name);
        }
    }
}

void ClearRegistry() {
    auto& registry = TheRegistry();
    std::unique_lock lock(registry.mutex);
    registry.functions.clear();
    registry.fields.clear();
    registry.hookables.clear();
}

}  // namespace asahost

namespace AsaApi {
IHooks& GetHooks() {
    static asahost::Hooks hooks;
    return hooks;
}
IApiUtils& GetApiUtils() {
    return asahost::TheApiUtils();
}
}  // namespace AsaApi

namespace {

// What the framework does with a name the game does not have: a critical line naming it,
// a pause for the line to be read, then the end of the process.
[[noreturn]] void EndForUnknownName(const std::string& name) {
    asahost::Log().critical("Failed to get the offset of '{}'.", name);
    asahost::Log().flush();
    std::this_thread::sleep_for(asahost::CurrentOptions().unknownNameWait);
    std::terminate();
}

}  // namespace

LPVOID GetAddress(const std::string& name) {
    asahost::NoteFrameworkCall("GetAddress");
    auto& registry = asahost::TheRegistry();
    {
        std::shared_lock lock(registry.mutex);
        auto function = registry.functions.find(name);
        if (function != registry.functions.end()) {
            return function->second;
        }
    }
    if (asahost::HooksDoNotThrow()) {
        asahost::Log().critical("Failed to get the offset of '{}'.", name);
        return nullptr;
    }
    EndForUnknownName(name);
}

DWORD64 GetAddress(const void* base, const std::string& name) {
    asahost::NoteFrameworkCall("GetAddress");
    auto& registry = asahost::TheRegistry();
    std::ptrdiff_t offset = 0;
    {
        std::shared_lock lock(registry.mutex);
        auto field = registry.fields.find(name);
        if (field == registry.fields.end()) {
            lock.unlock();
            EndForUnknownName(name);
        }
        offset = field->second;
    }
    // No check of `base`, as in the framework: a field of a null object is a bad address.
    return reinterpret_cast<DWORD64>(base) + static_cast<DWORD64>(offset);
}
