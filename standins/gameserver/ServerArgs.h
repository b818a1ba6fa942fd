#pragma once
// The game server's command line: the real server's arguments, plus the stand-in's own
// options, all in any order. Anything unknown is ignored, as real servers do.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace gameserver {

struct ServerArgs {
    std::string serverKey;                // -serverkey=
    int rconPort = 0;                     // ?RCONPort= of the map URL; 0: no listener
    std::string rconPassword;             // ?ServerAdminPassword=
    std::optional<double> runForSeconds;  // --run-for=
    bool readyBeforeLoad = false;         // --ready-before-load
    int beginPlayRuns = 1;                // --begin-play-twice
    double timeScale = 1.0;               // --time-scale=
    std::filesystem::path mapData;        // --map-data=
    bool noWorld = false;                 // --no-world
    std::filesystem::path rconRecord;     // --rcon-record=
    std::string name;                     // --name=, for log lines; default the server key
    std::optional<unsigned long long> stopAfterTimers;  // --stop-after-timers=N
    bool reportResources = false;  // --report-resources: threads, zombies, timers
    // --missing-name=NAME (repeatable): a game build without that function or field.
    std::vector<std::string> missingNames;
    // --unknown-name-wait=SECONDS: the framework's pause before it ends the process for a
    // name the game does not have (default 10).
    std::optional<double> unknownNameWait;
    bool console = false;  // --console: console commands, one a line, from standard input
    int players = 0;       // --players=N: players on the server (setplayers N changes it)
    // The process ends as a real server's does, the plugins still loaded: no Plugin_Unload,
    // and the libraries' detach runs with the process exiting. --unload-at-exit unloads every
    // plugin first instead (which the real framework never does), for tests that look at what
    // is left after the plugins; --exit-without-unload, the default, is taken too.
    bool unloadAtExit = false;
    // --free-at-exit: every plugin's library is freed without its Plugin_Unload, as a loader
    // that never calls it would; the game then runs on a little before it exits.
    bool freeAtExit = false;
    // --timer-command=LINE (repeatable): console lines run, in order, by a framework timer the
    // game arms before the plugins load: in the first timer pass, ahead of every plugin's timer.
    std::vector<std::string> timerCommands;
};

// Throws std::invalid_argument for a malformed value of a known option.
ServerArgs ParseServerArgs(const std::vector<std::string>& arguments);

}  // namespace gameserver
