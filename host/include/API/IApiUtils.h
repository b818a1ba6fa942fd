#pragma once

#include "API/Base.h"
#include "API/UE/GameTypes.h"

namespace AsaApi {
enum class ServerStatus { Loading = 0, Ready = 1 };

class IApiUtils {
  public:
    virtual ~IApiUtils() = default;
    // The running world, or null while the game has none.
    virtual UWorld* GetWorld() const = 0;
    virtual AShooterGameMode* GetShooterGameMode() const = 0;
    virtual ServerStatus GetStatus() const = 0;
};

ARK_API IApiUtils& GetApiUtils();
}  // namespace AsaApi
