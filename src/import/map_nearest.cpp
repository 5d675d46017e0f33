#include "import/pixel_mapping.h"

namespace nrbx::importing {

void mapNearest(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                ReducedPicture& out) {
    const int width = out.columns * data::kCellSize, height = out.rows * data::kCellSize;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (transparentAt(picture, x, y, alphaThreshold)) continue;
            // The colour itself, not its nearest grid colour: the error is measured against it.
            const Lab lab = sourcePoint(space, picture, x, y);
            out.indices[std::size_t(y) * width + x] =
                std::uint8_t(nearest(blocks[out.blockOfCell[cellAt(out, x, y)]], lab.L, lab.a, lab.b).index);
        }
    }
}

}  // namespace nrbx::importing
