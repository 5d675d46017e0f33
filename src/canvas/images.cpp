#include "canvas/images.h"

#include <algorithm>

#include "data/pattern.h"

namespace nrbx::canvas {

namespace {

ImageState g_images;

void clearCellBlocks(ImageState& s) {
    for (auto& row : s.cellBlock) row.fill(kNeverRendered);
}

}  // namespace

ImageState& imageState() { return g_images; }

void resetImageState() {
    g_images.backing.bytes.fill(0);
    g_images.view.bytes.fill(0);
    g_images.paletteBlock = 0;
    clearCellBlocks(g_images);
}

void CreateImages() {
    auto& s = imageState();
    s.view.bytes.fill(0xFF);
    s.backing = s.view;
    clearCellBlocks(s);
}

std::array<std::uint8_t, 3> SplitColor(const data::Rgb& color) { return {color.blue, color.green, color.red}; }

void RenderCells(int x0, int y0, int x1, int y1) {
    auto& s = imageState();
    const auto& grid = data::patternState().grid;
    const auto& table = data::paletteState().table;

    // The sixteen colours of the block, already in stored byte order.
    std::array<std::array<std::uint8_t, 3>, 16> colors;
    for (int i = 0; i < 16; ++i) colors[i] = SplitColor(table[s.paletteBlock * 16 + i]);

    // Rendering into the backing image and then copying it to the view leaves both images exactly as
    // rendering into the view and copying back would, with one copy fewer.
    const int cx0 = std::max(x0, 0), cx1 = std::min(x1, kCellsPerSide - 1);
    const int cy0 = std::max(y0, 0), cy1 = std::min(y1, kCellsPerSide - 1);
    if (cx0 <= cx1) {
        for (int cy = cy0; cy <= cy1; ++cy) {
            for (int cx = cx0; cx <= cx1; ++cx) s.cellBlock[cy][cx] = s.paletteBlock;
            for (int y = cy * kCellSize; y < (cy + 1) * kCellSize; ++y) {
                const std::uint8_t* in = grid.row(y);
                std::uint8_t* out = s.backing.row(y);
                for (int x = cx0 * kCellSize; x < (cx1 + 1) * kCellSize; ++x) {
                    const auto& c = colors[in[x] & 0x0F];
                    out[x * 3] = c[0];
                    out[x * 3 + 1] = c[1];
                    out[x * 3 + 2] = c[2];
                }
            }
        }
    }
    s.view = s.backing;
}

}  // namespace nrbx::canvas
