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

// How long the exact search may run before it gives up; the greedy packing before it takes microseconds.
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
    bool searched = false;   // Packed: greedy alone found no packing, the exact search did
    std::vector<int> apart;  // Apart: indices of the sets, ascending
    int colors = 0;          // TooManyColors: the number of distinct colours
};

// Finds a packing of every set into at most limits.blocks blocks of at most limits.colors colours
// whenever one exists, a set going whole into one block. Sets inside another set go with it; then
// best-fit decreasing, the classic bin-packing heuristic, which finds most packings at once; failing
// that, a depth-first search over blocks (the most constrained set first, each block it fits, fullest
// overlap first, then one new block; a set already held by a block goes there without branching;
// pruned by sets that fit no block and cannot share a new one). The search is complete, so when it
// ends without a packing none exists; it stops at limits.time. Every set must have at most
// limits.colors colours.
Packing packColorSets(std::span<const ColorSet> sets, const PackingLimits& limits = {});

}  // namespace nrbx::importing
