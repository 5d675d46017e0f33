#include "canvas/selection.h"

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

void drawPreview(Image24& view, const CellRect& dest, const CellRect& source) {
    const auto& grid = data::patternState().grid;
    const auto& table = data::paletteState().table;
    const int block = imageState().paletteBlock;
    for (int cy = dest.ymin; cy <= dest.ymax; ++cy) {
        for (int cx = dest.xmin; cx <= dest.xmax; ++cx) {
            const int sx0 = (cx - dest.xmin + source.xmin) * kCellSize;
            const int sy0 = (cy - dest.ymin + source.ymin) * kCellSize;
            // The preview is never larger than its source; a cell outside the picture is not drawn.
            if (sx0 < 0 || sy0 < 0 || sx0 >= kPictureSize || sy0 >= kPictureSize) continue;
            for (int py = 0; py < kCellSize; ++py) {
                const std::uint8_t* in = grid.row(sy0 + py) + sx0;
                std::uint8_t* out = view.pixel(cx * kCellSize, cy * kCellSize + py);
                for (int px = 0; px < kCellSize; ++px) {
                    const auto c = SplitColor(table[block * 16 + (in[px] & 0x0F)]);
                    out[px * 3] = c[0];
                    out[px * 3 + 1] = c[1];
                    out[px * 3 + 2] = c[2];
                }
            }
        }
    }
}

}  // namespace

const char* toString(MouseButton button) {
    switch (button) {
        case MouseButton::Left: return "Left";
        case MouseButton::Right: return "Right";
        case MouseButton::Middle: return "Middle";
    }
    return "?";
}

SelectionState& selectionState() { return g_selection; }
void resetSelectionState() { g_selection = SelectionState{}; }

int ClampInt(int value, int lo, int hi) {
    if (value < lo) return lo;
    if (value > hi) return hi;
    return value;
}

std::pair<int, int> OrderPair(int a, int b) { return b >= a ? std::pair{a, b} : std::pair{b, a}; }

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
    images.view = images.backing;
    if (copyState().copyMode) drawPreview(images.view, r, copyState().source);

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
