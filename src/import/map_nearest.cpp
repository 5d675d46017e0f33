#include "import/pixel_mapping.h"

namespace nrbx::importing {

void mapNearest(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                ReducedPicture& out) {
    const auto& grid = gridPoints(space);
    const int width = out.columns * data::kCellSize, height = out.rows * data::kCellSize;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (transparentAt(picture, x, y, alphaThreshold)) continue;
            const std::uint8_t* p = picture.pixel(x, y);
            const Lab lab = grid[gridKey(nearestLevel(p[0]), nearestLevel(p[1]), nearestLevel(p[2]))];
            out.indices[std::size_t(y) * width + x] =
                std::uint8_t(nearest(blocks[out.blockOfCell[cellAt(out, x, y)]], lab.L, lab.a, lab.b).index);
        }
    }
}

}  // namespace nrbx::importing
