#include "GameCommands.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <sstream>

#include "API/ARK/Ark.h"
#include "GamePlayer.h"
#include "Host/Commands.h"
#include "Host/GameRegistry.h"
#include "Host/Runtime.h"
#include "Host/Text.h"

namespace gameserver {
namespace {

// The game's connection object as far as commands see it: what they send back.
struct Connection {
    std::vector<RconMessage> sent;
};

std::string Bytes(const FString& text) {
    std::string out;
    for (int i = 0; i < text.Len(); ++i) {
        out += static_cast<char>((*text)[i] & 0xFF);
    }
    return out;
}

void SendMessage(RCONClientConnection* connection, int id, int type, FString* message) {
    reinterpret_cast<Connection*>(connection)->sent.push_back({id, type, Bytes(*message)});
}

std::map<std::string, std::function<std::string(const std::string&)>>& GameOwnCommands() {
    static std::map<std::string, std::function<std::string(const std::string&)>> commands;
    return commands;
}

std::string Lower(std::string text) {
    for (auto& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The answer of the game's own command on `line`, if it is one: its name, then the rest of the
// line after the blanks.
std::optional<std::string> RunGameCommand(const std::string& line) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const auto end = (std::min)(line.find_first_of(" \t", start), line.size());
    const auto found = GameOwnCommands().find(Lower(line.substr(start, end - start)));
    if (found == GameOwnCommands().end()) {
        return std::nullopt;
    }
    const auto argument = line.find_first_not_of(" \t", end);
    return found->second(argument == std::string::npos ? std::string() : line.substr(argument));
}

spdlog::logger& GameLog() {
    static const auto log = asahost::MakeLogger("GameServer");
    return *log;
}

// The player whose console the server's standard input stands for.
GamePlayer& ConsolePlayer() {
    static GamePlayer admin("Admin");
    return admin;
}

// What the player sees, one log line for each line of it.
void ChatDirectMessage(AShooterPlayerController* self, const FString* text, FLinearColor, bool,
                       const FString*) {
    const auto& player = *reinterpret_cast<GamePlayer*>(self);
    std::istringstream lines(asahost::Utf8Of(*text));
    for (std::string line; std::getline(lines, line);) {
        GameLog().info("Server message to {}: {}", player.name, line);
    }
}

// As UWorld::GetFirstPlayerController: the first listed player, if that controller is still
// there.
bool FirstPlayerOnline() {
    UWorld* world = AsaApi::GetApiUtils().GetWorld();
    if (world == nullptr || world->PlayerControllerListField().IsEmpty()) {
        return false;
    }
    return world->PlayerControllerListField().begin()->Get() != nullptr;
}

}  // namespace

void RegisterGameCommands() {
    // What every player would see of the two console commands that show text to players; the
    // game prints nothing back for them.
    AddGameCommand("ServerChat", [](const std::string& text) {
        GameLog().info("Players see in the chat: SERVER: {}", text);
        return std::string();
    });
    // The game's own Broadcast shows nothing when it comes over RCON; the framework's detour
    // makes it a yellow chat line, sent only when the world has a first player.
    AddGameCommand("Broadcast", [](const std::string& text) {
        if (FirstPlayerOnline()) {
            GameLog().info("Players see in the chat: {}", text);
        }
        return std::string();
    });
    // The event command of the example cluster, so that its events show as started.
    AddGameCommand("StartWorldEvent", [](const std::string& arguments) {
        GameLog().info("World event starts: {}", arguments);
        return std::string();
    });
    asahost::RegisterFunction("RCONClientConnection.SendMessage(int,int,FString&)",
                              reinterpret_cast<void*>(&SendMessage));
    asahost::RegisterFunction(
        "AShooterPlayerController.ClientServerChatDirectMessage(FString&,FLinearColor,bool,"
        "FString&)",
        reinterpret_cast<void*>(&ChatDirectMessage));
}

void AddGameCommand(const std::string& name,
                    std::function<std::string(const std::string& argument)> command) {
    GameOwnCommands()[Lower(name)] = std::move(command);
}

GameRconAnswer RunRconCommand(const std::string& body, int id) {
    Connection connection;
    // 2 is an EXECCOMMAND.
    RCONPacket packet{static_cast<int>(body.size()) + 10, id, 2, FString(body.c_str())};
    if (!asahost::RunRconCommand(reinterpret_cast<RCONClientConnection*>(&connection), &packet,
                                 AsaApi::GetApiUtils().GetWorld())) {
        if (auto answer = RunGameCommand(body)) {
            return {std::nullopt, *answer};
        }
        // The game answers it as any command that prints nothing.
        GameLog().info("Unknown command, no player sees it: {}", body);
        return {};
    }
    return {std::move(connection.sent), {}};
}

bool RunConsoleLine(const std::string& line) {
    FString command(line.c_str());
    if (asahost::RunConsoleCommand(reinterpret_cast<APlayerController*>(&ConsolePlayer()), &command,
                                   false)) {
        return true;
    }
    if (const auto answer = RunGameCommand(line)) {
        if (!answer->empty()) {
            GameLog().info("{}", *answer);
        }
        return true;
    }
    return false;
}

}  // namespace gameserver
