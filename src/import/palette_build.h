#pragma once
// The one exact palette build: each cell's colours packed whole into blocks (import/packing.h), the
// blocks' colours in their index order and every cell's indices; or why no palette holds them.

#include <chrono>
#include <span>
#include <vector>

#include "import/color_key.h"
#include "import/packing.h"

namespace nrbx::importing {

struct PaletteLimits {
    int blocks = data::kPaletteBlocks;
    int colours = data::kColorsPerBlock;
    // The whole build, both packings included.
    std::chrono::milliseconds time = kPackingTimeLimit;
};

struct BuiltPalette {
    // The first cell with more colours than a block holds (transparency counts as one), or -1. Nothing
    // else is set then.
    int crowdedCell = -1;
    // The packing: Packed, or the proof (or the time limit) that stopped it.
    Packing packing;
    // Packed: each block's keys in index order, blocks numbered in the order of their first cell.
    // Transparency (kTransparent) is index 0 of a block that has it. Where any cell has transparent
    // pixels, every block that has room keeps index 0 for them too, since nrbx-export --transparent
    // clears index 0 in every cell.
    std::vector<std::vector<Key>> blocks;
    std::vector<int> blockOfCell;
    std::vector<CellIndices> indices;
    bool clear = false;  // any transparent pixel

    bool built() const { return crowdedCell < 0 && packing.outcome == Packing::Outcome::Packed; }
};

BuiltPalette buildPalette(std::span<const CellKeys> cells, const PaletteLimits& limits = {});

}  // namespace nrbx::importing
