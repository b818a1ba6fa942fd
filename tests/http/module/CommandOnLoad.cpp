// A plugin for the command tests: when it is loaded it adds an RCON command that answers with
// the packet's body, as a plugin's command answers.

#include "API/ARK/Ark.h"

namespace {

__attribute__((constructor)) void AddOnLoad() {
    AsaApi::GetCommands().AddRconCommand(
        FString("test.echo"), [](RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
            FString reply(L"echo: ");
            reply.AppendChars(*packet->Body, packet->Body.Len());
            connection->SendMessageW(packet->Id, 0, &reply);
        });
}

}  // namespace
