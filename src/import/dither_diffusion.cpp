#include <algorithm>
#include <vector>

#include "import/pixel_mapping.h"

namespace nrbx::importing {

// Over the whole picture with every cell's block fixed; the error is damped a little so that it does not
// pile up where a block lacks a hue.
void ditherDiffusion(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                     ReducedPicture& out) {
    constexpr float kDamping = 0.875f;
    const int width = out.columns * data::kCellSize, height = out.rows * data::kCellSize;
    std::vector<Lab> carry(std::size_t(width + 2) * 2);
    const auto spread = [](Lab& to, const Lab& e, float f) {
        to.L += e.L * f, to.a += e.a * f, to.b += e.b * f;
    };
    for (int y = 0; y < height; ++y) {
        Lab* now = carry.data() + std::size_t(y % 2) * (width + 2) + 1;
        Lab* below = carry.data() + std::size_t((y + 1) % 2) * (width + 2) + 1;
        std::fill(below - 1, below + width + 1, Lab{});
        const bool leftward = y % 2 == 1;
        for (int i = 0; i < width; ++i) {
            const int x = leftward ? width - 1 - i : i;
            const int ahead = leftward ? -1 : 1;
            if (transparentAt(picture, x, y, alphaThreshold)) continue;
            const Colours& block = blocks[out.blockOfCell[cellAt(out, x, y)]];
            const Lab source = sourcePoint(space, picture, x, y);
            const Lab want{source.L + now[x].L, source.a + now[x].a, source.b + now[x].b};
            const int k = nearest(block, want.L, want.a, want.b).index;
            out.indices[std::size_t(y) * width + x] = std::uint8_t(k);
            const Lab e{(want.L - block.L[k]) * kDamping, (want.a - block.a[k]) * kDamping,
                        (want.b - block.b[k]) * kDamping};
            spread(now[x + ahead], e, 7.f / 16);
            spread(below[x - ahead], e, 3.f / 16);
            spread(below[x], e, 5.f / 16);
            spread(below[x + ahead], e, 1.f / 16);
        }
    }
}

}  // namespace nrbx::importing
