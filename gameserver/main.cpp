// A game server stand-in: loads the host framework and its plugins from the server
// directory (the current directory), plays the game's start-up, and runs until stopped.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "GameMemory.h"
#include "GameMode.h"
#include "Host/GameRegistry.h"
#include "Host/PluginLoader.h"
#include "Host/Runtime.h"
#include "ServerArgs.h"
#include "StopSignal.h"

int main(int argc, char** argv) {
    gameserver::PrepareStopSignal();
    gameserver::ServerArgs args;
    try {
        args = gameserver::ParseServerArgs(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "GameServer: %s\n", e.what());
        return 2;
    }

    asahost::Options options;
    options.timeScale = args.timeScale;
    asahost::Start(options);
    auto log = asahost::MakeLogger("GameServer");
    log->info("Starting {} (time scale {})", args.name, args.timeScale);

    gameserver::RegisterGameMemory();
    gameserver::RegisterGameMode();
    asahost::SetServerStatus(args.readyBeforeLoad ? AsaApi::ServerStatus::Ready
                                                  : AsaApi::ServerStatus::Loading);
    asahost::LoadPlugins();

    for (int run = 0; run < args.beginPlayRuns; ++run) {
        gameserver::RunBeginPlay(gameserver::TheGameMode());
    }
    asahost::SetServerStatus(AsaApi::ServerStatus::Ready);
    log->info("Server is ready");

    gameserver::WaitForStop(args.runForSeconds);
    log->info("Shutting down");
    asahost::UnloadPlugins();
    log->info("FMemory outstanding allocations: {}", gameserver::OutstandingAllocations());
    log.reset();
    asahost::Stop();
    return 0;
}
