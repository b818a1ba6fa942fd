#pragma once
// What the game process holds, for soak runs: threads, and children that ended unreaped.

namespace gameserver {

int ThreadCount();
int ZombieChildren();

}  // namespace gameserver
