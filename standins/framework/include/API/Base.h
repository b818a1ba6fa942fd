#pragma once
// The framework's base header: the export macro, the Windows types, the game's types by
// name, and the lookup of game functions and fields by name. Like the framework's, it
// brings in <windows.h> without NOMINMAX.

#include <cstdint>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#if defined(ASAAPI_BUILD)
#define ARK_API __declspec(dllexport)
#else
#define ARK_API __declspec(dllimport)
#endif
#else
#define ARK_API __attribute__((visibility("default")))
#define APIENTRY
using LPVOID = void*;
using DWORD = std::uint32_t;
using DWORD64 = std::uint64_t;
#endif

// The game's own types. Plugins only hold pointers to them and reach their functions and
// fields by name, never through a compiled-in layout.
struct UObject;
struct UClass;
struct UStruct;
struct UScriptStruct;
struct UWorld;
struct AShooterGameMode;
struct APlayerController;
struct APrimalWorldSettings;
struct UMinimapData;
struct UVictoryCore;
struct FMapData;
struct UTexture2D;
struct USoundBase;

// The address of the field `name` ("FMapData.PlayableMin") inside `base`. A name the game
// does not have ends the process.
ARK_API DWORD64 GetAddress(const void* base, const std::string& name);
// The address of the game function `name` ("FMemory.Free(void*)"). A name the game does
// not have ends the process, unless the framework's setting HooksDoNotThrow is on: then
// the answer is null.
ARK_API LPVOID GetAddress(const std::string& name);
