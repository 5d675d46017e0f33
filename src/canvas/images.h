#pragma once
// The backing image (clean picture) and the view image (picture plus frame and preview), and rendering.

#include <array>
#include <cstdint>
#include <functional>

#include "data/cell_grid.h"
#include "data/palette.h"

namespace nrbx::canvas {

using data::CellRect;
using data::kCellSize;
using data::kCellsPerSide;
using data::kLastCell;
using data::kPaletteBlocks;
using data::kPictureSize;

// 256 x 256 pixels, 3 bytes each in the order blue, green, red, row 0 at the top.
struct Image24 {
    static constexpr int kWidth = kPictureSize;
    static constexpr int kHeight = kPictureSize;
    static constexpr int kStride = kWidth * 3;
    std::array<std::uint8_t, kStride * kHeight> bytes{};

    std::uint8_t* row(int y) { return bytes.data() + y * kStride; }
    const std::uint8_t* row(int y) const { return bytes.data() + y * kStride; }
    std::uint8_t* pixel(int x, int y) { return row(y) + x * 3; }
    const std::uint8_t* pixel(int x, int y) const { return row(y) + x * 3; }
    bool operator==(const Image24&) const = default;
};

constexpr int kNeverRendered = -1;

struct ImageState {
    Image24 backing;
    Image24 view;
    int paletteBlock = 0;
    // The block each cell was last rendered with, so exports can keep exact colour indices.
    std::array<std::array<int, kCellsPerSide>, kCellsPerSide> cellBlock{};  // [cy][cx]
};

const ImageState& imageState();
void resetImageState();

// The block the next renders use, as given; changePaletteBlock also renders the selection with it.
void setPaletteBlock(int block);
// Rewrites the view image from the backing image; the view composition is the only caller.
void composeView(const std::function<void(const Image24& backing, Image24& view)>& compose);

// Both images all white and equal; no cell rendered.
void CreateImages();
// Renders cells x0..x1 x y0..y1 (inclusive) with the current palette block into both images. An empty
// range renders nothing, yet the view is still reset to the backing image.
void RenderCells(int x0, int y0, int x1, int y1);
// A palette colour as its three stored bytes: blue, green, red.
std::array<std::uint8_t, 3> SplitColor(const data::Rgb& color);

// The sixteen colours of a palette block, each as SplitColor gives it.
using BlockColors = std::array<std::array<std::uint8_t, 3>, 16>;
BlockColors blockColors(int block);
// Writes count pixels of colour indices (their low four bits) as blue, green, red bytes from out on.
void renderIndexRow(const std::uint8_t* indices, int count, const BlockColors& colors, std::uint8_t* out);

}  // namespace nrbx::canvas
