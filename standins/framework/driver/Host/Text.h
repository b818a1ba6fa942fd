#pragma once
// The game's strings as the game stand-in shows and reads them: UTF-16 code units to UTF-8 and
// back.

#include <string>

#include "API/UE/Containers/UnrealString.h"

namespace asahost {

ARK_API std::string Utf8Of(const FString& text);
ARK_API FString GameStringOf(const std::string& utf8);

}  // namespace asahost
