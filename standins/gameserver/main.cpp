// A game server stand-in: loads the host framework and its plugins from the server
// directory (the current directory), plays the game's start-up, and runs until stopped.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "GameChat.h"
#include "GameCommands.h"
#include "GameMemory.h"
#include "GameMode.h"
#include "GameStrings.h"
#include "GameTasks.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "Host/GameThread.h"
#include "Host/PluginLoader.h"
#include "Host/Runtime.h"
#include "Host/Timers.h"
#include "ProcessStats.h"
#include "RconListener.h"
#include "ServerArgs.h"
#include "StopSignal.h"
#include "Timer.h"

namespace {

// Listens for RCON like the real server; null when no port was asked for or
// the port cannot be had (the server then runs on without RCON, with an error in its log).
std::unique_ptr<gameserver::RconListener> StartRcon(const gameserver::ServerArgs& args,
                                                    gameserver::GameTasks& tasks,
                                                    spdlog::logger& log) {
    if (args.rconPort == 0) {
        return nullptr;
    }
    try {
        gameserver::RconListenerOptions options;
        options.port = args.rconPort;
        options.password = args.rconPassword;
        options.recordFile = args.rconRecord;
        options.log = asahost::MakeLogger("RCON");
        // Commands run on the game thread, where the plugins' commands take theirs.
        options.console = [&tasks](const std::string& command, int id) {
            gameserver::GameRconAnswer answer;
            // Nothing when the server is stopping: the console's "no response".
            tasks.Run([&] {
                answer = gameserver::RunRconCommand(command, id);
                return std::string();
            });
            gameserver::RconAnswer out(std::move(answer.output));
            if (answer.sent) {
                out.sent.emplace();
                for (auto& message : *answer.sent) {
                    out.sent->push_back({message.id, message.type, std::move(message.body)});
                }
            }
            return out;
        };
        auto listener = std::make_unique<gameserver::RconListener>(std::move(options));
        listener->Start();
        return listener;
    } catch (const std::exception& e) {
        log.error("No RCON on port {}: {}", args.rconPort, e.what());
        return nullptr;
    }
}

// Real seconds between two ticks of the game thread.
constexpr double kTickSeconds = 0.005;

// The game thread's loop, where the framework runs its timers and request completions: until
// a stop signal, --run-for, or --stop-after-timers timer callbacks.
void RunUntilStopped(const gameserver::ServerArgs& args, gameserver::GameTasks& tasks,
                     gameserver::GameWorld& world) {
    const auto start = std::chrono::steady_clock::now();
    while (!standin::WaitForStop(kTickSeconds)) {
        // The world's time runs as a player's clock does, whatever the timers' time scale: the
        // framework's chat rule is about how fast a person types.
        world.SetTime(
            std::chrono::duration<long double>(std::chrono::steady_clock::now() - start).count());
        tasks.RunPending();
        asahost::GameTick();
        if (args.stopAfterTimers && asahost::TimersFired() >= *args.stopAfterTimers) {
            return;
        }
        const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - start;
        if (args.runForSeconds && ran.count() >= *args.runForSeconds) {
            return;
        }
    }
}

// Console lines from standard input, for the plugins' console commands. The reader is left
// blocked in its read when the server stops; it holds the tasks by a shared pointer.
void ReadConsole(std::shared_ptr<gameserver::GameTasks> tasks,
                 std::shared_ptr<spdlog::logger> log) {
    std::thread([tasks = std::move(tasks), log = std::move(log)] {
        for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            const auto taken = tasks->Run([&] {
                return gameserver::RunConsoleLine(line) ? std::string("1") : std::string();
            });
            if (!taken) {
                return;
            }
            if (taken->empty() && !line.empty()) {
                log->warn("Unknown console command: {}", line);
            }
        }
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    standin::PrepareStopSignal();
    gameserver::ServerArgs args;
    gameserver::MapSettings map;
    try {
        args = gameserver::ParseServerArgs(std::vector<std::string>(argv + 1, argv + argc));
        map = args.mapData.empty() ? gameserver::DefaultMap() : gameserver::LoadMap(args.mapData);
        map.world = map.world && !args.noWorld;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "GameServer: %s\n", e.what());
        return 2;
    }

    asahost::Options options;
    options.timeScale = args.timeScale;
    if (args.reportResources) {
        options.countThreads = &gameserver::ThreadCount;
    }
    if (args.unknownNameWait) {
        options.unknownNameWait =
            std::chrono::milliseconds(static_cast<long long>(*args.unknownNameWait * 1000));
    }
    asahost::Start(options);
    auto log = asahost::MakeLogger("GameServer");
    log->info("Starting {} (time scale {})", args.name, args.timeScale);

    gameserver::RegisterGameMemory();
    gameserver::RegisterGameStrings();
    gameserver::RegisterGameCommands();
    gameserver::RegisterGameChat();
    gameserver::RegisterGameMode();
    gameserver::RegisterWorldNames();
    for (const auto& name : args.missingNames) {
        asahost::ForgetName(name);
    }
    asahost::InstallFrameworkHooks();
    asahost::RegisterLoaderCommands();
    asahost::SetServerStatus(args.readyBeforeLoad ? AsaApi::ServerStatus::Ready
                                                  : AsaApi::ServerStatus::Loading);
    // Up before the plugins: an event may come at the first timer tick.
    const auto tasks = std::make_shared<gameserver::GameTasks>();
    auto rcon = StartRcon(args, *tasks, *log);
    if (args.console) {
        ReadConsole(tasks, log);
    }
    const int threadsBefore = gameserver::ThreadCount();
    if (args.reportResources) {
        log->info("Threads before the plugins: {}", threadsBefore);
    }
    if (!args.timerCommands.empty()) {
        API::Timer::Get().DelayExecute(
            FString("GameServer.timer-command"),
            [lines = args.timerCommands, log] {
                for (const auto& line : lines) {
                    if (!gameserver::RunConsoleLine(line)) {
                        log->warn("Unknown console command: {}", line);
                    }
                }
            },
            0);
    }
    asahost::LoadPlugins();

    gameserver::GameWorld world(map);
    world.SetPlayers(args.players);
    // Players come and go: "setplayers N" on the console or over RCON.
    gameserver::AddGameCommand("setplayers", [&world](const std::string& argument) {
        try {
            const int players = std::stoi(argument);
            world.SetPlayers(players);
            return std::to_string(players < 0 ? 0 : players) + " player(s) online";
        } catch (const std::exception&) {
            return std::string("usage: setplayers N");
        }
    });
    gameserver::AddGameCommand("leaveplayers", [&world](const std::string& argument) {
        try {
            return std::to_string(world.LeavePlayers(std::stoi(argument))) +
                   " player(s) left; their slots stay listed";
        } catch (const std::exception&) {
            return std::string("usage: leaveplayers N");
        }
    });
    // A player's chat line: "chat NAME TEXT", the player joining first if need be.
    gameserver::AddGameCommand("chat", [&world](const std::string& argument) {
        return gameserver::RunChatLine(world, argument);
    });
    asahost::SetWorld(world.World());
    // The framework's own detour makes the server ready once the game's BeginPlay has run.
    for (int run = 0; run < args.beginPlayRuns; ++run) {
        gameserver::RunBeginPlay(gameserver::TheGameMode());
    }
    log->info("Server is ready");

    RunUntilStopped(args, *tasks, world);
    tasks->Close();
    if (args.freeAtExit) {
        asahost::FreePluginsWithoutUnload();
        // The game goes on a little: nothing of the plugins' may run any more.
        for (int tick = 0; tick < 100; ++tick) {
            standin::WaitForStop(kTickSeconds);
            asahost::GameTick();
        }
        if (args.reportResources) {
            log->info("Threads after the plugins: {}", gameserver::ThreadCount());
        }
        log->info("Exiting with the plugins' libraries freed");
        rcon.reset();
        log.reset();
        asahost::Stop();
        std::exit(0);
    }
    if (!args.unloadAtExit) {
        log->info("Exiting with the plugins loaded");
        // The game's own RCON closes, its connection threads joined: one that had just ended
        // would otherwise be left unjoined at the exit.
        rcon.reset();
        log.reset();
        // The framework's own services end; the process exits around everything else.
        asahost::Stop();
        std::exit(0);
    }
    log->info("Shutting down");
    if (args.reportResources) {
        log->info("Timer callbacks run: {}", asahost::TimersFired());
    }
    asahost::UnloadPlugins();
    if (args.reportResources) {
        log->info("Threads after the plugins: {}", gameserver::ThreadCount());
        log->info("Zombie children after the plugins: {}", gameserver::ZombieChildren());
    }
    rcon.reset();  // after the plugins: a plugin may still broadcast while it unloads
    asahost::SetWorld(nullptr);
    log->info("FMemory outstanding allocations: {}", gameserver::OutstandingAllocations());
    log.reset();
    asahost::Stop();
    return 0;
}
