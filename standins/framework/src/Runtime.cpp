#include "Host/Runtime.h"

#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_sinks.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "Host/GameThread.h"
#include "HostInternal.h"
#include "Logger/Logger.h"

namespace asahost {
namespace {

constexpr const char* kLinePattern = "%D %R [%n][%l] %v";

Options& MutableOptions() {
    static Options options;
    return options;
}

bool& HooksDoNotThrowSetting() {
    static bool setting = false;
    return setting;
}

// The framework's own settings file beside the server; unreadable means the defaults.
bool ReadHooksDoNotThrow(const std::filesystem::path& serverDir) {
    std::ifstream file(serverDir / "config.json");
    if (!file) {
        return false;
    }
    try {
        nlohmann::json config;
        file >> config;
        return config["settings"].value("HooksDoNotThrow", false);
    } catch (const std::exception&) {
        return false;
    }
}

std::shared_ptr<spdlog::logger>& HostLogger() {
    static std::shared_ptr<spdlog::logger> logger;
    return logger;
}

}  // namespace

PluginReloadSettings ReadPluginReloadSettings() {
    PluginReloadSettings settings;
    std::ifstream file(CurrentOptions().serverDir / "config.json");
    if (!file) {
        return settings;
    }
    try {
        nlohmann::json config;
        file >> config;
        const auto found = config.find("settings");
        if (found == config.end()) {
            return settings;
        }
        settings.enabled = found->value("AutomaticPluginReloading", false);
        if (settings.enabled) {
            settings.seconds = found->value("AutomaticPluginReloadSeconds", 5);
            settings.saveWorld = found->value("SaveWorldBeforePluginReload", true);
        }
    } catch (const std::exception& e) {
        // The framework's own reading would throw out of its plugin loading here.
        Log().error("config.json: {}; plugins are not reloaded automatically", e.what());
        return {};
    }
    return settings;
}

const Options& CurrentOptions() {
    return MutableOptions();
}

bool HooksDoNotThrow() {
    return HooksDoNotThrowSetting();
}

void Start(const Options& options) {
    MutableOptions() = options;
    HooksDoNotThrowSetting() = ReadHooksDoNotThrow(options.serverDir);
    auto& sinks = GetLogSinks();
    sinks.clear();
    if (options.consoleSink) {
        sinks.push_back(std::make_shared<spdlog::sinks::stdout_sink_mt>());
    }
    if (options.fileSink) {
        std::filesystem::path logFile = options.logFile;
        if (logFile.empty()) {
            logFile = options.serverDir / "ArkApi" / "Logs" / "ArkApi.log";
        }
        sinks.push_back(std::make_shared<spdlog::sinks::basic_file_sink_mt>(logFile.string()));
    }
    HostLogger() = MakeLogger("AsaApi");
    StartTimers(options.timeScale);
    StartRequests();
}

void GameTick() {
    DeliverCompletions();
    // As the framework's game-state timer: its timers, then the look for new plugin libraries.
    if (RunTimerPass()) {
        CheckPluginChanges();
    }
}

void Stop() {
    RemoveLoaderCommands();
    StopPluginReloading();
    StopRequests();
    StopTimers();
    HostLogger().reset();
    GetLogSinks().clear();
}

std::shared_ptr<spdlog::logger> MakeLogger(const std::string& name) {
    auto& sinks = GetLogSinks();
    auto logger = std::make_shared<spdlog::logger>(name, sinks.begin(), sinks.end());
    logger->set_pattern(kLinePattern);
    logger->flush_on(spdlog::level::info);
    return logger;
}

void ReclaimSinkFormatters() {
    for (auto& sink : GetLogSinks()) {
        sink->set_formatter(std::make_unique<spdlog::pattern_formatter>(kLinePattern));
    }
}

spdlog::logger& Log() {
    auto& logger = HostLogger();
    if (!logger) {
        // Used before Start (tests that drive single services): a logger with no sinks.
        logger = std::make_shared<spdlog::logger>("AsaApi");
    }
    return *logger;
}

}  // namespace asahost

std::vector<spdlog::sink_ptr>& GetLogSinks() {
    asahost::NoteFrameworkCall("GetLogSinks");
    static std::vector<spdlog::sink_ptr> sinks;
    return sinks;
}
