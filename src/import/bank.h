#pragma once
// Several pictures into one bank: one palette for the cells of all of them (built exactly, with blocks
// kept from a given palette, or reduced together), and each cell's indices and block. Where the cells
// go in the pattern is the caller's choice.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/cells.h"
#include "import/picture.h"
#include "import/quality.h"
#include "import/reduce.h"

namespace nrbx::importing {

struct BankSettings {
    // As ImportSettings has them: absent, the exact build refuses partly transparent pixels.
    std::optional<int> alphaThreshold;
    std::chrono::milliseconds packingTimeLimit = kPackingTimeLimit;
    std::optional<ReduceSettings> reduce;  // colours reduced together until all pictures fit
    // Blocks of `palette` kept word for word; the others are built (or reduced) anew.
    std::optional<data::PaletteFile> palette;
    std::array<bool, data::kPaletteBlocks> kept{};
};

struct BankCell {
    CellIndices indices{};
    std::uint8_t block = 0;
    bool empty = false;  // every pixel transparent
};

struct BankPicture {
    int columns = 0;
    int rows = 0;
    std::vector<BankCell> cells;     // row by row
    std::optional<Quality> quality;  // with a reduction: how close the palette shows it
};

struct Bank {
    std::vector<BankPicture> pictures;  // in the order given
    data::PaletteFile palette;
    std::vector<std::string> notes;     // worth a line under -v
    std::vector<std::string> warnings;  // worth a line unless -q
};

// Exact: every cell whose colours a kept block holds takes the first such block; the other cells are
// packed together into the blocks not kept (import/palette_build.h), and then each of them takes the
// lowest-numbered of those blocks that holds all of its colours, so that a later run that keeps the
// blocks puts it in the same block. In a kept block an opaque colour takes its first index, counted
// from 1 when any picture has transparent pixels (index 0 is theirs). Refusals name the picture
// (names[i]) and the cell, numbered within the picture, and where a colour is at fault its pixel.
Bank importBank(std::span<const Picture> pictures, std::span<const std::string> names,
                const BankSettings& settings);

}  // namespace nrbx::importing
