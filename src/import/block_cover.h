#pragma once
// The fast, incomplete stage of the block packing: a local search over the colours each block holds.

#include <vector>

#include "import/local_search.h"

namespace nrbx::importing {

// Looks for `limits.blocks` colour sets of `limits.colors` colours that hold every set whole: sets are
// colour numbers 0..colorCount-1 (colorCount <= 256), none larger than a block. Returns the block of
// each set, blocks numbered 0.. in the order of their first set, or nothing when its work
// (`limits.work`) or the deadline ends the search. Deterministic: `restart` picks the start and the
// random choices, so the same call gives the same answer.
std::vector<int> findBlockCover(const std::vector<std::vector<int>>& sets, int colorCount,
                                const LocalSearchLimits& limits, unsigned restart);

}  // namespace nrbx::importing
