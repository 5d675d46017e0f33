#include "canvas/view.h"

#include <algorithm>
#include <cstring>

#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/pattern.h"

namespace nrbx::canvas {

namespace {

void setPixel(Image24& image, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    std::uint8_t* p = image.pixel(x, y);
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

// The boundary of the pixel rectangle left..right x top..bottom, both ends included.
void drawRing(Image24& image, int left, int top, int right, int bottom, std::uint8_t b, std::uint8_t g,
              std::uint8_t r) {
    for (int x = left; x <= right; ++x) {
        setPixel(image, x, top, b, g, r);
        setPixel(image, x, bottom, b, g, r);
    }
    for (int y = top; y <= bottom; ++y) {
        setPixel(image, left, y, b, g, r);
        setPixel(image, right, y, b, g, r);
    }
}

// The destination cells of the preview whose source cell lies in the picture (the others are not drawn);
// empty when there are none. All rectangles are ordered.
CellRect previewCells(const CellRect& dest, const CellRect& source) {
    // Destination cell c shows source cell c - dest.min + source.min.
    const int dx = source.x0 - dest.x0, dy = source.y0 - dest.y0;
    return CellRect{std::max(dest.x0, -dx), std::max(dest.y0, -dy), std::min(dest.x1, kCellsPerSide - 1 - dx),
                    std::min(dest.y1, kCellsPerSide - 1 - dy)};
}

bool isEmpty(const CellRect& r) {
    return r.x1 < r.x0 || r.y1 < r.y0;
}

// The backing image onto the view, except under the drawn preview cells, which the preview overwrites
// in full: with a whole-picture preview the copy is skipped altogether.
void copyBackingAround(const Image24& backing, Image24& view, const CellRect& drawn) {
    if (isEmpty(drawn)) {
        view = backing;
        return;
    }
    const int top = drawn.y0 * kCellSize, bottom = (drawn.y1 + 1) * kCellSize;
    const std::size_t left = std::size_t(drawn.x0) * kCellSize * 3;
    const std::size_t right = std::size_t(drawn.x1 + 1) * kCellSize * 3;
    if (top > 0) std::memcpy(view.row(0), backing.row(0), std::size_t(top) * Image24::kStride);
    for (int y = top; y < bottom; ++y) {
        std::memcpy(view.row(y), backing.row(y), left);
        std::memcpy(view.row(y) + right, backing.row(y) + right, Image24::kStride - right);
    }
    if (bottom < Image24::kHeight) {
        std::memcpy(view.row(bottom), backing.row(bottom),
                    std::size_t(Image24::kHeight - bottom) * Image24::kStride);
    }
}

void drawPreview(Image24& view, const CellRect& drawn, const CellRect& dest, const CellRect& source) {
    if (isEmpty(drawn)) return;
    const auto& grid = data::patternState().grid;
    const BlockColors colors = blockColors(imageState().paletteBlock);
    const int width = (drawn.x1 - drawn.x0 + 1) * kCellSize;
    const int sx = (drawn.x0 - dest.x0 + source.x0) * kCellSize;
    const int sy = (drawn.y0 - dest.y0 + source.y0) * kCellSize;
    const int x = drawn.x0 * kCellSize, top = drawn.y0 * kCellSize;
    for (int y = top; y < (drawn.y1 + 1) * kCellSize; ++y) {
        renderIndexRow(grid.row(sy + y - top) + sx, width, colors, view.pixel(x, y));
    }
}

}  // namespace

void RedrawView() {
    // Every corner is kept within the picture, but the frame is drawn inside the picture regardless.
    CellRect r = orderedSelection();
    r.x0 = ClampInt(r.x0, 0, kCellsPerSide - 1);
    r.x1 = ClampInt(r.x1, 0, kCellsPerSide - 1);
    r.y0 = ClampInt(r.y0, 0, kCellsPerSide - 1);
    r.y1 = ClampInt(r.y1, 0, kCellsPerSide - 1);

    composeView([&r](const Image24& backing, Image24& view) {
        if (copyState().copyMode) {
            const CellRect& source = copyState().source;
            const CellRect drawn = previewCells(r, source);
            copyBackingAround(backing, view, drawn);
            drawPreview(view, drawn, r, source);
        } else {
            view = backing;
        }

        const int left = r.x0 * kCellSize, top = r.y0 * kCellSize;
        const int right = r.x1 * kCellSize + kCellSize - 1, bottom = r.y1 * kCellSize + kCellSize - 1;
        drawRing(view, left, top, right, bottom, 0x00, 0x00, 0x00);
        drawRing(view, left + 1, top + 1, right - 1, bottom - 1, 0xFF, 0x00, 0x00);
        drawRing(view, left + 2, top + 2, right - 2, bottom - 2, 0xFF, 0xFF, 0xFF);
    });
}

}  // namespace nrbx::canvas
