#pragma once
// Lookup of game functions and fields by name.

#include <string>

#include "API/Base.h"

// Address of the game function `name`, e.g. "FMemory.Free(void*)"; null when unknown.
ARK_API LPVOID GetAddress(const std::string& name);
// Address of the field `name` (e.g. "FMapData.PlayableMin") inside `base`; null when unknown.
ARK_API LPVOID GetAddress(const void* base, const std::string& name);
