#pragma once

namespace kov {

// Returns after at least `milliseconds`, with the window system's messages processed
// meanwhile, so the program stays responsive between two console commands.
void WaitMilliseconds(int milliseconds);

}  // namespace kov
