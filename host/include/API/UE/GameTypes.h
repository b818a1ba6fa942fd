#pragma once
// The game's own types. Plugins only hold pointers to them and reach their functions and
// fields by name (GetAddress), never through a compiled-in layout.

struct UObject;
struct UClass;
struct UStruct;
struct UWorld;
struct AShooterGameMode;
struct APrimalWorldSettings;
struct UMinimapData;
struct UVictoryCore;
struct FMapData;

// The game's vector: three doubles, X, Y, Z.
struct FVector {
    double X;
    double Y;
    double Z;
};

// The game's dynamic array header: element pointer, then a signed 32-bit count.
template <typename T>
struct TArray {
    T* Data;
    int ArrayNum;
    int ArrayMax;
};
