#include "ServerArgs.h"

#include <stdexcept>
#include <string_view>

namespace gameserver {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

double ParseNumber(const std::string& option, const std::string& value) {
    std::size_t used = 0;
    double number = 0;
    try {
        number = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || value.empty()) {
        throw std::invalid_argument(option + " needs a number, not '" + value + "'");
    }
    return number;
}

// "TheIsland_WP?listen?RCONEnabled=True?RCONPort=27020?ServerAdminPassword=secret"
void ParseMapUrl(const std::string& url, ServerArgs& args) {
    std::size_t start = url.find('?');
    while (start != std::string::npos) {
        const std::size_t end = url.find('?', start + 1);
        const std::string option =
            url.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        if (StartsWithNoCase(option, "RCONPort=")) {
            args.rconPort = static_cast<int>(ParseNumber("RCONPort", option.substr(9)));
        } else if (StartsWithNoCase(option, "ServerAdminPassword=")) {
            args.rconPassword = option.substr(20);
        }
        start = end;
    }
}

}  // namespace

ServerArgs ParseServerArgs(const std::vector<std::string>& arguments) {
    ServerArgs args;
    for (const auto& argument : arguments) {
        const auto value = [&](std::string_view option) { return argument.substr(option.size()); };
        if (StartsWithNoCase(argument, "-serverkey=")) {
            if (args.serverKey.empty()) {
                args.serverKey = value("-serverkey=");
            }
        } else if (argument.starts_with("--run-for=")) {
            args.runForSeconds = ParseNumber("--run-for", value("--run-for="));
        } else if (argument == "--ready-before-load") {
            args.readyBeforeLoad = true;
        } else if (argument == "--begin-play-twice") {
            args.beginPlayRuns = 2;
        } else if (argument.starts_with("--time-scale=")) {
            args.timeScale = ParseNumber("--time-scale", value("--time-scale="));
        } else if (argument.starts_with("--map-data=")) {
            args.mapData = value("--map-data=");
        } else if (argument == "--no-world") {
            args.noWorld = true;
        } else if (argument.starts_with("--rcon-record=")) {
            args.rconRecord = value("--rcon-record=");
        } else if (argument.starts_with("--stop-after-timers=")) {
            args.stopAfterTimers = static_cast<unsigned long long>(
                ParseNumber("--stop-after-timers", value("--stop-after-timers=")));
        } else if (argument == "--report-resources") {
            args.reportResources = true;
        } else if (argument.starts_with("--missing-name=")) {
            args.missingNames.push_back(value("--missing-name="));
        } else if (argument.starts_with("--unknown-name-wait=")) {
            args.unknownNameWait =
                ParseNumber("--unknown-name-wait", value("--unknown-name-wait="));
        } else if (argument == "--console") {
            args.console = true;
        } else if (argument.starts_with("--players=")) {
            args.players = static_cast<int>(ParseNumber("--players", value("--players=")));
        } else if (argument == "--unload-at-exit") {
            args.unloadAtExit = true;
        } else if (argument == "--exit-without-unload") {
            args.unloadAtExit = false;
        } else if (argument == "--free-at-exit") {
            args.freeAtExit = true;
        } else if (argument.starts_with("--timer-command=")) {
            args.timerCommands.push_back(value("--timer-command="));
        } else if (argument.starts_with("--name=")) {
            args.name = value("--name=");
        } else if (!argument.starts_with("-") && argument.find('?') != std::string::npos) {
            ParseMapUrl(argument, args);
        }
    }
    if (args.name.empty()) {
        args.name = args.serverKey.empty() ? "GameServer" : args.serverKey;
    }
    return args;
}

}  // namespace gameserver
