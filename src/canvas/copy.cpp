#include "canvas/copy.h"

#include "canvas/selection.h"
#include "data/pattern.h"
#include "platform/cursor.h"

namespace nrbx::canvas {

namespace {

CopyState g_copy;

bool insidePicture(int cx, int cy) {
    return cx >= 0 && cy >= 0 && cx < kCellsPerSide && cy < kCellsPerSide;
}

}  // namespace

CopyState& copyState() {
    return g_copy;
}
void resetCopyState() {
    g_copy = CopyState{};
}

void startCopy() {
    platform::setAppCursor(platform::AppCursor::Drag);
    g_copy.copyMode = true;
    g_copy.source = orderedSelection();
}

void movePreview(int x, int y) {
    auto& sel = selectionState().selection;
    // Moves can arrive from outside the picture while a right or middle button is held.
    sel.x0 = ClampInt(x / kCellSize, 0, kCellsPerSide - 1);
    sel.y0 = ClampInt(y / kCellSize, 0, kCellsPerSide - 1);
    sel.x1 = sel.x0 + (g_copy.source.xmax - g_copy.source.xmin);
    sel.y1 = sel.y0 + (g_copy.source.ymax - g_copy.source.ymin);
    if (sel.x1 > kCellsPerSide - 1) sel.x1 = kCellsPerSide - 1;
    if (sel.y1 > kCellsPerSide - 1) sel.y1 = kCellsPerSide - 1;
    RedrawView();
}

void placeCopy() {
    selectionState().dragging = true;
    const auto& sel = selectionState().selection;
    PasteCells(sel.x0, sel.y0, sel.x1, sel.y1, g_copy.source.xmin, g_copy.source.ymin);
    g_copy.copyMode = false;
}

void PasteCells(int x0, int y0, int x1, int y1, int sxmin, int symin) {
    auto& grid = data::patternState().grid;
    g_copy.snapshot = grid;
    for (int cy = y0; cy <= y1; ++cy) {
        for (int cx = x0; cx <= x1; ++cx) {
            const int scx = sxmin + cx - x0, scy = symin + cy - y0;
            if (!insidePicture(cx, cy) || !insidePicture(scx, scy)) continue;
            for (int py = 0; py < kCellSize; ++py) {
                const std::uint8_t* in = g_copy.snapshot.row(scy * kCellSize + py) + scx * kCellSize;
                std::uint8_t* out = grid.row(cy * kCellSize + py) + cx * kCellSize;
                for (int px = 0; px < kCellSize; ++px) out[px] = in[px];
            }
        }
    }
    RenderCells(x0, y0, x1, y1);
    platform::setAppCursor(platform::AppCursor::Default);
}

void cancelCopy() {
    g_copy.copyMode = false;
    platform::setAppCursor(platform::AppCursor::Default);
    auto& images = imageState();
    images.view = images.backing;
}

}  // namespace nrbx::canvas
