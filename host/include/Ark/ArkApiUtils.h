#pragma once

#include "API/ARK/Ark.h"
#include "API/Helpers/Helpers.h"

namespace AsaApi {
enum class ServerStatus { Loading, Ready };

class ARK_API IApiUtils {
  public:
    virtual ~IApiUtils() = default;
    // The running world, or null while the game has none.
    virtual UWorld* GetWorld() const = 0;
    virtual AShooterGameMode* GetShooterGameMode() const = 0;
    virtual ServerStatus GetStatus() const = 0;
};

ARK_API IApiUtils& APIENTRY GetApiUtils();
}  // namespace AsaApi
