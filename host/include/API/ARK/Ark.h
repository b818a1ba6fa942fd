#pragma once
// Everything a plugin may use of the host framework.

#include "API/Base.h"
#include "API/GameAddress.h"
#include "API/IApiUtils.h"
#include "API/IHooks.h"
#include "API/Logger.h"
#include "API/Requests.h"
#include "API/Timer.h"
#include "API/Tools.h"
#include "API/UE/FMemory.h"
#include "API/UE/FString.h"
#include "API/UE/GameTypes.h"
