#pragma once
// From a picture's pixels to indices into its cells' blocks, the blocks already chosen: the nearest
// colour, or one of two dithers. Each picks only among the colours of the cell's block.

#include <array>

#include "data/cell_grid.h"
#include "import/colour_points.h"
#include "import/error_space.h"
#include "import/picture.h"
#include "import/reduce.h"

namespace nrbx::importing {

// Each block's colours as the palette shows them, at their indices; an index that no opaque pixel may
// take (transparency's index 0) left far away.
using ShownBlocks = std::array<Colours, data::kPaletteBlocks>;

// Each fills out.indices from out.blockOfCell, comparing colours in `space` (the blocks' points are in
// it); transparent pixels (alpha below alphaThreshold) get index 0.
void mapNearest(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                ReducedPicture& out);
// Knoll's pattern dithering over an 8 x 8 Bayer matrix.
void ditherOrdered(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                   ReducedPicture& out);
// Floyd and Steinberg's error diffusion, serpentine.
void ditherDiffusion(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                     ReducedPicture& out);

// Where the mappings look things up.
inline std::size_t cellAt(const ReducedPicture& out, int x, int y) {
    return std::size_t(y / data::kCellSize) * std::size_t(out.columns) + std::size_t(x / data::kCellSize);
}
inline bool transparentAt(const Picture& picture, int x, int y, int alphaThreshold) {
    return picture.pixel(x, y)[3] < alphaThreshold;
}
inline Lab sourcePoint(ErrorSpace space, const Picture& picture, int x, int y) {
    const std::uint8_t* p = picture.pixel(x, y);
    return pointOf(space, p[0], p[1], p[2]);
}

}  // namespace nrbx::importing
