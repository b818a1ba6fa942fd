#include "GameCommands.h"

#include <cctype>
#include <map>
#include <optional>
#include <sstream>

#include "API/ARK/Ark.h"
#include "Host/Commands.h"
#include "Host/GameRegistry.h"
#include "Host/Runtime.h"

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

// The answer of the game's own command on `line`, if it is one.
std::optional<std::string> RunGameCommand(const std::string& line) {
    std::istringstream words(line);
    std::string name;
    std::string argument;
    words >> name >> argument;
    const auto found = GameOwnCommands().find(Lower(name));
    if (found == GameOwnCommands().end()) {
        return std::nullopt;
    }
    return found->second(argument);
}

// The player whose console the server's standard input stands for.
struct Player {
    std::string name;
};

Player& ConsolePlayer() {
    static Player admin{"Admin"};
    return admin;
}

// What the player sees, one log line for each line of it.
void ChatDirectMessage(AShooterPlayerController* self, const FString* text, FLinearColor, bool,
                       const FString*) {
    static const auto log = asahost::MakeLogger("GameServer");
    const auto& player = *reinterpret_cast<Player*>(self);
    std::istringstream lines(Bytes(*text));
    for (std::string line; std::getline(lines, line);) {
        log->info("Server message to {}: {}", player.name, line);
    }
}

}  // namespace

void RegisterGameCommands() {
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
        return {std::nullopt, RunGameCommand(body).value_or("")};
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
        static const auto log = asahost::MakeLogger("GameServer");
        log->info("{}", *answer);
        return true;
    }
    return false;
}

}  // namespace gameserver
