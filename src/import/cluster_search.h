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
    Points colours;  // distinct grid colours of its opaque pixels, with their counts
    Points summary;  // at most 16 points standing for them, for the search over blocks
};

// The cell of `picture` whose top-left pixel is (x0, y0): its opaque pixels (alpha from
// alphaThreshold) at the grid colour nearest each, and their summary. `counts`: kGridColours zeros,
// left so.
ClusterCell clusterCellOf(ErrorSpace space, const Picture& picture, int x0, int y0, int alphaThreshold,
                          std::vector<float>& counts, platform::SplitMix64& random);

struct Clusters {
    int blocks = 0;
    std::vector<int> blockOf;      // a block per cell: the kept ones first, as given
    std::vector<Colours> colours;  // per block, its opaque colours
};

// Two-level clustering: cells into blocks by the colours they need, and each block's colours from the
// pixels of its cells (weighted k-means, snapped to the grid as it goes, as in Linde, Buzo and Gray's
// splitting), cells moving to the block that reproduces them best until none moves; then enhanced
// LBG's moves of the least useful block. Runs on the cells' summaries first, their full colours last.
// `kept`: blocks 0..kept.size()-1, cells may take them but they are not fitted; `freeBlocks` more are.
// `capacity`: the opaque colours a free block may have.
Clusters searchClusters(ErrorSpace space, const std::vector<ClusterCell>& cells,
                        const std::vector<Colours>& kept, int freeBlocks, int capacity,
                        platform::SplitMix64& random);

}  // namespace nrbx::importing
