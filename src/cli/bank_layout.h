#pragma once
// Where a bank's pictures go in the pattern file: each picture a rectangle of cells, at the cell given
// for it or else at the first free place; or, when cells are shared or left out, one cell after
// another. Then the cells written into pattern and block map.

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "data/block_map.h"
#include "import/bank.h"
#include "import/import_settings.h"

namespace nrbx::cli {

using CellPlace = std::pair<int, int>;  // x, y: cells 0..15

struct PlacedPicture {
    std::optional<CellPlace> at;  // its top-left cell, when placed as a rectangle
    std::vector<int> sprites;     // per cell, row by row: its sprite, or -1 when left out
};

// Rectangles: the pictures with a cell of their own first, each inside the 16 x 16 cells and clear of
// the others; then the rest in the order given, each at the first place, from the top row down and
// left to right within a row, where all of its cells are free. Raises a failure naming the picture
// that reaches past the last cell, overlaps another or does not fit (with the number of free cells).
std::vector<PlacedPicture> placeRectangles(const importing::Bank& bank, std::span<const std::string> names,
                                           std::span<const std::optional<CellPlace>> given);

// One cell after another from sprite 0, picture after picture, each row by row. With dedupe a cell
// equal to one stored before (the same indices in the same block) takes its sprite; with skipEmpty a
// fully transparent cell takes none. Raises a failure naming the picture that no longer fits.
std::vector<PlacedPicture> placeInSequence(const importing::Bank& bank, std::span<const std::string> names,
                                           bool dedupe, bool skipEmpty);

struct Sheet {
    importing::PatternBytes pattern{};
    data::BlockMap blockMap{};
};
// The placed cells over base; a sprite no picture cell uses keeps base and the block `block`.
Sheet writeSheet(const importing::Bank& bank, std::span<const PlacedPicture> placed,
                 const importing::PatternBytes& base, int block);

}  // namespace nrbx::cli
