#include "GameCommands.h"

#include <sstream>

#include "API/ARK/Ark.h"
#include "Host/Commands.h"
#include "Host/GameRegistry.h"
#include "Host/Runtime.h"

namespace gameserver {
namespace {

// The game's connection object as far as commands see it: what they send back.
struct Connection {
    std::string reply;
};

std::string Bytes(const FString& text) {
    std::string out;
    for (int i = 0; i < text.Len(); ++i) {
        out += static_cast<char>((*text)[i] & 0xFF);
    }
    return out;
}

void SendMessage(RCONClientConnection* connection, int, int, FString* message) {
    reinterpret_cast<Connection*>(connection)->reply += Bytes(*message);
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

std::string RunRconCommand(const std::string& body) {
    Connection connection;
    // The listener answers with the request's id itself; 2 is an EXECCOMMAND.
    RCONPacket packet{static_cast<int>(body.size()) + 10, 0, 2, FString(body.c_str())};
    asahost::RunRconCommand(reinterpret_cast<RCONClientConnection*>(&connection), &packet,
                            AsaApi::GetApiUtils().GetWorld());
    return connection.reply;
}

bool RunConsoleLine(const std::string& line) {
    FString command(line.c_str());
    return asahost::RunConsoleCommand(reinterpret_cast<APlayerController*>(&ConsolePlayer()),
                                      &command, false);
}

}  // namespace gameserver
