#pragma once
// The core as the window leaves it after opening the demo sample: a realistic picture to time.

#include <string>

namespace nrbx::bench {

std::string demoPatternPath();
std::string demoPalettePath();

// Start-up state, then the demo palette and pattern loaded and all cells rendered with block 0.
void loadDemo();

}  // namespace nrbx::bench
