#pragma once
// What a conversion of a picture is asked to do, and what it gives back.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/block_map.h"
#include "data/palette_formats.h"
#include "data/pattern.h"
#include "import/packing.h"
#include "import/reduce.h"

namespace nrbx::importing {

using PatternBytes = std::array<std::uint8_t, data::kPatternBytes>;

struct ImportSettings {
    int atX = 0;  // the cell the picture's top-left cell lands on
    int atY = 0;
    // Take the picture's colour indices as sprite-indexed export writes them, instead of its colours.
    bool spriteIndexed = false;
    // The block of a table of at most 16 colours, and of cells outside the picture without `blocks`.
    int block = 0;
    std::optional<data::PaletteFile> palette;  // match colours against it; absent: build one
    std::optional<data::BlockMap> blocks;      // with `palette`: the block of each cell, not searched
    bool nearest = false;                      // with `palette`: a missing colour takes the nearest
    // 0..255: a pixel whose alpha is below it is transparent (index 0), any other opaque. Absent: alpha
    // 0 is transparent and 255 opaque, and the exact conversions refuse a picture with alpha between.
    std::optional<int> alphaThreshold;
    // How long the packing search may take when the palette is built.
    std::chrono::milliseconds packingTimeLimit = kPackingTimeLimit;
    // Without `palette`: colours reduced until the picture fits, unless it fits as it is. Its alpha
    // threshold is `alphaThreshold`, else kDefaultAlphaThreshold.
    std::optional<ReduceSettings> reduce;
};

struct ImportResult {
    PatternBytes pattern{};
    data::PaletteFile palette;
    data::BlockMap blockMap{};
    std::vector<std::string> notes;     // things worth a line under -v
    std::vector<std::string> warnings;  // things worth a line unless -q
    // With `reduce`: the reduction the outputs hold, for measuring them against the picture
    // (import/quality.h, import/error_map.h).
    std::optional<Reduction> reduction;
};

}  // namespace nrbx::importing
