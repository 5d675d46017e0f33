#include <algorithm>

#include "import/pixel_mapping.h"

namespace nrbx::importing {

namespace {

// The 8 x 8 Bayer matrix, 0..63.
int bayer(int x, int y) {
    int v = 0;
    for (int bit = 2; bit >= 0; --bit) {
        const int xb = x >> (2 - bit) & 1, yb = y >> (2 - bit) & 1;
        v |= ((xb ^ yb) << 1 | yb) << (2 * bit);
    }
    return v;
}

}  // namespace

// Knoll's pattern dithering: a list of colours whose mean approaches the pixel's, ordered by lightness,
// one of them picked by the Bayer threshold.
void ditherOrdered(ErrorSpace space, const Picture& picture, int alphaThreshold, const ShownBlocks& blocks,
                   ReducedPicture& out) {
    constexpr int kCandidates = 16;
    constexpr float kErrorFactor = 0.75f;
    // A candidate much farther from the pixel than its nearest colour shows as a stray dot where the block
    // has no colour near it; the nearest colour stands in for it.
    constexpr float kReach = 8;
    const int width = out.columns * data::kCellSize, height = out.rows * data::kCellSize;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (transparentAt(picture, x, y, alphaThreshold)) continue;
            const Colours& block = blocks[out.blockOfCell[cellAt(out, x, y)]];
            const Lab goal = sourcePoint(space, picture, x, y);
            Lab error{};
            std::array<int, kCandidates> candidates;
            const Nearest closest = nearest(block, goal.L, goal.a, goal.b);
            const float reach = closest.distance * kReach + 1e-4f;
            for (int i = 0; i < kCandidates; ++i) {
                int k = nearest(block, goal.L + error.L * kErrorFactor, goal.a + error.a * kErrorFactor,
                                goal.b + error.b * kErrorFactor)
                            .index;
                if (distance2(block.at(k), goal) > reach) k = closest.index;
                candidates[i] = k;
                error.L += goal.L - block.L[k], error.a += goal.a - block.a[k];
                error.b += goal.b - block.b[k];
            }
            std::sort(candidates.begin(), candidates.end(), [&](int p, int q) {
                return block.L[p] < block.L[q] || (block.L[p] == block.L[q] && p < q);
            });
            out.indices[std::size_t(y) * width + x] =
                std::uint8_t(candidates[bayer(x, y) * kCandidates / 64]);
        }
    }
}

}  // namespace nrbx::importing
