#pragma once
// The packing's other local search: sets moved between blocks until no block has too many colours.

#include <vector>

#include "import/local_search.h"

namespace nrbx::importing {

// Looks for a packing of the sets (colour numbers 0..colorCount-1, colorCount <= 256) into
// `limits.blocks` blocks of `limits.colors` colours. Returns the block of each set, blocks numbered 0..
// in the order of their first set, or nothing when its work (`limits.work`) or the deadline ends the
// search. Deterministic: `restart` picks the start and the random choices.
std::vector<int> moveSetsBetweenBlocks(const std::vector<std::vector<int>>& sets, int colorCount,
                                       const LocalSearchLimits& limits, unsigned restart);

}  // namespace nrbx::importing
