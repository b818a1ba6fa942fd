#pragma once

#include "API/UE/Math/Color.h"

class FColorList {
  public:
    inline static const FColor White = FColor(255, 255, 255, 255);
    inline static const FColor Red = FColor(255, 0, 0, 255);
    inline static const FColor Green = FColor(0, 255, 0, 255);
    inline static const FColor Yellow = FColor(255, 255, 0, 255);
};
