#pragma once
// Packing colour sets into palette blocks: which block each cell takes when the palette is built.

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "data/palette.h"

namespace nrbx::importing {

// The distinct colours of one cell, ascending; any 16-bit values, compared only for equality.
using ColorSet = std::vector<std::uint16_t>;

// How long the searches may run before they give up; the greedy packing before them takes microseconds.
constexpr std::chrono::milliseconds kPackingTimeLimit{2000};

struct PackingLimits {
    int blocks = data::kPaletteBlocks;   // at most this many blocks ...
    int colors = data::kColorsPerBlock;  // ... of at most this many colours; blocks * colors <= 256
    std::chrono::milliseconds time = kPackingTimeLimit;
};

struct Packing {
    enum class Outcome {
        Packed,  // blockOf holds a packing into `blocks` blocks
        Apart,   // proven: no two of the sets in `apart` fit one block, and there are more than the blocks
        TooManyColors,  // proven: the sets hold `colors` distinct colours, more than all blocks hold
        Exhausted,      // proven: the complete search found no packing
        TimeLimit,      // not proven: the search ran out of time; the best packing found needs `blocks`
    };
    Outcome outcome = Outcome::Packed;
    std::vector<int> blockOf;  // Packed: the block 0..blocks-1 of each set
    int blocks = 0;
    bool searched = false;   // Packed: greedy alone found no packing, a search did
    std::vector<int> apart;  // Apart: indices of the sets, ascending
    int colors = 0;          // TooManyColors: the number of distinct colours
};

// Finds a packing of every set into at most limits.blocks blocks of at most limits.colors colours
// whenever one exists, a set going whole into one block. Sets inside another set go with it; then
// best-fit decreasing, the classic bin-packing heuristic, which finds most packings at once; failing
// that, a proof by sets no two of which fit one block, and then three searches by turns, each turn
// with twice the work of the last:
// - a depth-first search over blocks (the most constrained set first, each block it fits, fullest
//   overlap first, then one new block; a set already held by a block goes there without branching;
//   pruned by sets that fit no block and cannot share a new one, and by colours no block has room
//   for). It is complete: when it ends without a packing, none exists.
// - a local search over the colours of each block (block_cover.h): a set no block holds is brought a
//   colour nearer to its nearest block, weighed by how long the sets it uncovers stayed uncovered (the
//   breakout method, Morris, AAAI 1993, with weights that decay as in Thornton et al., "Additive
//   versus multiplicative clause weighting for SAT", AAAI 2004; the uncovered set picked at random as
//   in WalkSAT, Selman, Kautz and Cohen, "Noise strategies for improving local search", AAAI 1994).
//   Fastest where many cells share most of their colours.
// - a tabu search that moves sets between blocks until no block overflows (block_moves.h), with a
//   tabu tenure that grows with the number of sets that could move, as in Galinier and Hao, "Hybrid
//   evolutionary algorithms for graph coloring", J. Comb. Optim. 3, 1999. Fastest where blocks have
//   colours to spare.
// The local searches only ever find packings; a proof comes from the complete search alone. Their
// work is counted rather than timed, so the same sets always get the same packing; everything stops
// at limits.time. Every set must have at most limits.colors colours.
Packing packColorSets(std::span<const ColorSet> sets, const PackingLimits& limits = {});

}  // namespace nrbx::importing
