#pragma once
// The one place where the plugin includes the host framework's SDK: only its public headers,
// and through them its logging library (the plugin includes no logging or formatting library
// of its own, since the framework brings its own version).

#include <API/ARK/Ark.h>
#include <Logger/Logger.h>
#include <Requests.h>
#include <Timer.h>
