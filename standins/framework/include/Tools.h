#pragma once

#include <string>

#include "API/Base.h"

namespace AsaApi::Tools {
// The server's directory; plugins live below it in ArkApi/Plugins/<Name>/.
ARK_API std::string GetCurrentDir();
}  // namespace AsaApi::Tools
