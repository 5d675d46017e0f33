#pragma once
// The search over blocks: cells grouped into at most N blocks and each block's colours fitted to the
// pixels of its cells, refined together.

#include <vector>

#include "import/colour_points.h"
#include "import/error_space.h"
#include "import/picture.h"
#include "platform/random.h"

namespace nrbx::importing {

struct ClusterCell {
    // Its opaque pixels grouped by the grid colour nearest each: a point a group, at the mean of its
    // pixels' own colours (so that fitted colours and errors follow the picture, not its rounding), the
    // group's grid colour as its key and its pixel count as its weight.
    Points colours;
    Points summary;  // at most 16 points standing for them, for the search over blocks
};

// The cell of `picture` whose top-left pixel is (x0, y0), opaque from alphaThreshold on. `slots`:
// kGridColours zeros, left so.
ClusterCell clusterCellOf(ErrorSpace space, const Picture& picture, int x0, int y0, int alphaThreshold,
                          std::vector<std::uint16_t>& slots, platform::SplitMix64& random);

struct Clusters {
    int blocks = 0;
    std::vector<int> blockOf;      // a block per cell: the kept ones first, as given
    std::vector<Colours> colours;  // per block, its opaque colours
};

// Two-level clustering, squared error in `space`: cells into blocks by the colours they need, and each
// block's colours from the pixels of its cells (weighted k-means, snapped to the grid as it goes, as in
// Linde, Buzo and Gray's splitting), cells moving to the block that reproduces them best until none
// moves; then enhanced LBG's moves of the least useful block. Runs on the cells' summaries first, their
// full colours last: every block refitted to convergence and cells moved while the error falls, the
// block moves tried again, and that stage once more. Two starts, each from its own stream drawn from
// `random` before either runs, on two threads; the lower error wins (the first on a tie), so the result
// does not depend on the threads' timing.
// `kept`: blocks 0..kept.size()-1, cells may take them but they are not fitted; `freeBlocks` more are.
// `capacity`: the opaque colours a free block may have.
Clusters searchClusters(ErrorSpace space, const std::vector<ClusterCell>& cells,
                        const std::vector<Colours>& kept, int freeBlocks, int capacity,
                        platform::SplitMix64& random);

}  // namespace nrbx::importing
