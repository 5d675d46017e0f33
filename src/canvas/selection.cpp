#include "canvas/selection.h"

#include <algorithm>
#include <cstring>

#include "canvas/copy.h"
#include "data/palette.h"
#include "data/pattern.h"

namespace nrbx::canvas {

namespace {

SelectionState g_selection;

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
// empty when there are none.
CellRect previewCells(const CellRect& dest, const CellRect& source) {
    // Destination cell c shows source cell c - dest.min + source.min.
    const int dx = source.xmin - dest.xmin, dy = source.ymin - dest.ymin;
    return CellRect{std::max(dest.xmin, -dx), std::max(dest.ymin, -dy),
                    std::min(dest.xmax, kCellsPerSide - 1 - dx), std::min(dest.ymax, kCellsPerSide - 1 - dy)};
}

bool isEmpty(const CellRect& r) {
    return r.xmax < r.xmin || r.ymax < r.ymin;
}

// The backing image onto the view, except under the drawn preview cells, which the preview overwrites
// in full: with a whole-picture preview the copy is skipped altogether.
void copyBackingAround(const Image24& backing, Image24& view, const CellRect& drawn) {
    if (isEmpty(drawn)) {
        view = backing;
        return;
    }
    const int top = drawn.ymin * kCellSize, bottom = (drawn.ymax + 1) * kCellSize;
    const std::size_t left = std::size_t(drawn.xmin) * kCellSize * 3;
    const std::size_t right = std::size_t(drawn.xmax + 1) * kCellSize * 3;
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
    const int width = (drawn.xmax - drawn.xmin + 1) * kCellSize;
    const int sx = (drawn.xmin - dest.xmin + source.xmin) * kCellSize;
    const int sy = (drawn.ymin - dest.ymin + source.ymin) * kCellSize;
    const int x = drawn.xmin * kCellSize, top = drawn.ymin * kCellSize;
    for (int y = top; y < (drawn.ymax + 1) * kCellSize; ++y) {
        renderIndexRow(grid.row(sy + y - top) + sx, width, colors, view.pixel(x, y));
    }
}

}  // namespace

const char* toString(MouseButton button) {
    switch (button) {
        case MouseButton::Left:
            return "Left";
        case MouseButton::Right:
            return "Right";
        case MouseButton::Middle:
            return "Middle";
    }
    return "?";
}

SelectionState& selectionState() {
    return g_selection;
}
void resetSelectionState() {
    g_selection = SelectionState{};
}

int ClampInt(int value, int lo, int hi) {
    if (value < lo) return lo;
    if (value > hi) return hi;
    return value;
}

std::pair<int, int> OrderPair(int a, int b) {
    return b >= a ? std::pair{a, b} : std::pair{b, a};
}

CellRect orderedSelection() {
    const auto& s = g_selection.selection;
    const auto [xmin, xmax] = OrderPair(s.x0, s.x1);
    const auto [ymin, ymax] = OrderPair(s.y0, s.y1);
    return CellRect{xmin, ymin, xmax, ymax};
}

void RedrawView() {
    // Every corner is kept within the picture, but the frame is drawn inside the picture regardless.
    CellRect r = orderedSelection();
    r.xmin = ClampInt(r.xmin, 0, kCellsPerSide - 1);
    r.xmax = ClampInt(r.xmax, 0, kCellsPerSide - 1);
    r.ymin = ClampInt(r.ymin, 0, kCellsPerSide - 1);
    r.ymax = ClampInt(r.ymax, 0, kCellsPerSide - 1);

    auto& images = imageState();
    if (copyState().copyMode) {
        const CellRect& source = copyState().source;
        const CellRect drawn = previewCells(r, source);
        copyBackingAround(images.backing, images.view, drawn);
        drawPreview(images.view, drawn, r, source);
    } else {
        images.view = images.backing;
    }

    const int left = r.xmin * kCellSize, top = r.ymin * kCellSize;
    const int right = r.xmax * kCellSize + kCellSize - 1, bottom = r.ymax * kCellSize + kCellSize - 1;
    drawRing(images.view, left, top, right, bottom, 0x00, 0x00, 0x00);
    drawRing(images.view, left + 1, top + 1, right - 1, bottom - 1, 0xFF, 0x00, 0x00);
    drawRing(images.view, left + 2, top + 2, right - 2, bottom - 2, 0xFF, 0xFF, 0xFF);
}

void pictureMouseDown(MouseButton button, int x, int y) {
    if (button != MouseButton::Left) return;
    if (copyState().copyMode) {
        placeCopy();
        return;
    }
    auto& s = g_selection;
    s.dragging = true;
    // A press comes from a point on the picture; clamping only guards against a toolkit that says otherwise.
    s.selection.x0 = ClampInt(x / kCellSize, 0, kCellsPerSide - 1);
    s.selection.y0 = ClampInt(y / kCellSize, 0, kCellsPerSide - 1);
    s.selection.x1 = s.selection.x0;
    s.selection.y1 = s.selection.y0;
}

void pictureMouseMove(int x, int y) {
    auto& s = g_selection;
    if (s.dragging && !copyState().copyMode) {
        s.selection.x1 = ClampInt(x / kCellSize, 0, kCellsPerSide - 1);
        s.selection.y1 = ClampInt(y / kCellSize, 0, kCellsPerSide - 1);
        RedrawView();
    } else if (copyState().copyMode) {
        movePreview(x, y);
    }
}

void pictureMouseUp(MouseButton /*button*/) {
    g_selection.dragging = false;
    RedrawView();
}

void SelectAll() {
    g_selection.selection = Selection{0, 0, kCellsPerSide - 1, kCellsPerSide - 1};
    RedrawView();
}

}  // namespace nrbx::canvas
