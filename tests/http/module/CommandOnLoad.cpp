// A plugin for the command tests: when it is initialised it adds RCON commands that answer as
// plugins' commands do, through the connection: test.echo with the packet's body, test.twice
// with two messages, test.silent with none.

#include "API/ARK/Ark.h"

namespace {

void Send(RCONClientConnection* connection, int id, const wchar_t* prefix, const FString& body) {
    FString reply(prefix);
    reply.AppendChars(*body, body.Len());
    connection->SendMessageW(id, 0, &reply);
}

void AddCommands() {
    auto& commands = AsaApi::GetCommands();
    commands.AddRconCommand(FString("test.echo"),
                            [](RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
                                Send(connection, packet->Id, L"echo: ", packet->Body);
                            });
    commands.AddRconCommand(FString("test.twice"),
                            [](RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
                                Send(connection, packet->Id, L"first: ", packet->Body);
                                Send(connection, packet->Id + 1, L"second: ", packet->Body);
                            });
    commands.AddRconCommand(FString("test.silent"),
                            [](RCONClientConnection*, RCONPacket*, UWorld*) {});
}

}  // namespace

// The framework calls it once the library is loaded, outside the loader lock.
extern "C" __attribute__((visibility("default"))) void Plugin_Init() {
    AddCommands();
}
