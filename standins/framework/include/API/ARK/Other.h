#pragma once
// The game's RCON types that commands receive.

#include "API/Base.h"
#include "API/UE/Containers/UnrealString.h"

// One request packet, as the game parsed it.
struct RCONPacket {
    int Length;
    int Id;
    int Type;
    FString Body;
};

// One RCON client's connection; the game's own object, reached by name.
struct RCONClientConnection {
    // Sends `message` to this client as the answer to packet `id` (type 0: a response).
    void SendMessageW(int id, int type, FString* message) {
        using Fn = void (*)(RCONClientConnection*, int, int, FString*);
        reinterpret_cast<Fn>(GetAddress("RCONClientConnection.SendMessage(int,int,FString&)"))(
            this, id, type, message);
    }
};
