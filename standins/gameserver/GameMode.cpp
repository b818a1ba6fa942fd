#include "GameMode.h"

#include <atomic>

#include "Host/GameRegistry.h"
#include "Host/Runtime.h"

struct AShooterGameMode {
    std::atomic<int> beginPlayRuns{0};
};

namespace gameserver {
namespace {

constexpr const char* kBeginPlay = "AShooterGameMode.BeginPlay()";

void BeginPlay(AShooterGameMode* self) {
    ++self->beginPlayRuns;
    asahost::Log().info("{} ran", kBeginPlay);
}

// The world is not kept anywhere: the call is what the framework's reload is seen by.
void SaveWorld(AShooterGameMode*, bool, bool, bool) {
    asahost::Log().info("AShooterGameMode.SaveWorld() ran");
}

}  // namespace

AShooterGameMode* TheGameMode() {
    static AShooterGameMode gameMode;
    return &gameMode;
}

void RegisterGameMode() {
    asahost::RegisterHookable(kBeginPlay, reinterpret_cast<void*>(&BeginPlay));
    asahost::RegisterFunction("AShooterGameMode.SaveWorld(bool,bool,bool)",
                              reinterpret_cast<void*>(&SaveWorld));
    asahost::SetGameMode(TheGameMode());
}

void RunBeginPlay(AShooterGameMode* gameMode) {
    using Fn = void (*)(AShooterGameMode*);
    reinterpret_cast<Fn>(asahost::HookTarget(kBeginPlay))(gameMode);
}

int BeginPlayRuns() {
    return TheGameMode()->beginPlayRuns.load();
}

}  // namespace gameserver
