#pragma once
// The framework's share of the game thread, for the game stand-in and tests.

#include "API/Base.h"

namespace asahost {

// The game calls this from its game thread at every tick: it runs the completions of the
// requests answered since the last tick and, once a game second (at the time scale) has
// passed since the last timer pass, the due timers, then, with the framework's automatic
// plugin reloading on, every so many (real) seconds the reload of each plugin that has a new
// library waiting beside it. Like the framework, it guards nothing: an exception thrown by a
// plugin's callback leaves this call.
ARK_API void GameTick();

}  // namespace asahost
