#pragma once

namespace quorvane {

// The players on the server now, as the framework's own helpers count them: the world's
// player controllers. 0 without a world.
int GamePlayersOnline();

}  // namespace quorvane
