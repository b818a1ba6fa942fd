#pragma once
// The host's side towards the game process: start-up, shutdown and the host's own logger.
// Plugins never include this; the game stand-in and tests do.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <spdlog/logger.h>

#include "API/Base.h"

namespace asahost {

struct Options {
    // The server's directory; plugins are loaded from ArkApi/Plugins/ below it.
    std::filesystem::path serverDir = std::filesystem::current_path();
    // Game seconds per real second: at 60, a timer of one minute fires after one second.
    double timeScale = 1.0;
    bool consoleSink = true;
    // Whether to log to a file as well; empty logFile: ArkApi/Logs/ArkApi.log below the
    // server directory.
    bool fileSink = true;
    std::filesystem::path logFile;
    // HTTP requests (API::Requests): the time allowed to connect, and for the whole exchange
    // from the start of the connection to the last byte of the answer.
    std::chrono::milliseconds httpConnectTimeout{std::chrono::seconds(10)};
    std::chrono::milliseconds httpTotalTimeout{std::chrono::seconds(30)};
    // Requests sent at the same time; further ones wait in a queue.
    int httpThreads = 4;
    // How long the framework waits, after logging a game name it does not know, before it
    // ends the process.
    std::chrono::milliseconds unknownNameWait{std::chrono::seconds(10)};
    // The process's threads; when set, the loader logs how many a plugin's library started
    // in its load notification.
    std::function<int()> countThreads;
};

ARK_API void Start(const Options& options);
// Drops the pending timers and stops the request threads; call after the plugins are
// unloaded.
ARK_API void Stop();

// A logger over the shared sinks, with the framework's line layout.
ARK_API std::shared_ptr<spdlog::logger> MakeLogger(const std::string& name);
// The framework's own logger, "AsaApi".
ARK_API spdlog::logger& Log();

}  // namespace asahost
