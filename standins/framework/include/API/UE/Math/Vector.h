#pragma once

// The game's vector: three doubles, X, Y, Z.
struct FVector {
    double X;
    double Y;
    double Z;
};
