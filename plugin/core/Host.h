#pragma once
// The one place where the plugin includes the host framework's SDK.

#include <API/ARK/Ark.h>
