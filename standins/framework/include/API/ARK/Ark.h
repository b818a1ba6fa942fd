#pragma once
// What every plugin includes. Timers, requests and logging have headers of their own.

#include "API/ARK/Actor.h"
#include "API/ARK/GameMode.h"
#include "API/ARK/Other.h"
#include "API/Base.h"
#include "API/UE/Containers/Array.h"
#include "API/UE/Containers/UnrealString.h"
#include "API/UE/GenericPlatform/GenericPlatformStricmp.h"
#include "API/UE/HAL/UnrealMemory.h"
#include "API/UE/Math/Color.h"
#include "API/UE/Math/ColorList.h"
#include "API/UE/Math/Vector.h"
#include "IApiUtils.h"
#include "ICommands.h"
#include "IHooks.h"
#include "Tools.h"
