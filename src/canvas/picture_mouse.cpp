#include "canvas/picture_mouse.h"

#include "canvas/copy.h"
#include "canvas/selection.h"
#include "canvas/view.h"

namespace nrbx::canvas {

namespace {

int cellOf(int pixel) {
    return ClampInt(pixel / data::kCellSize, 0, data::kCellsPerSide - 1);
}

}  // namespace

void movePreview(int x, int y) {
    const CellRect& source = copyState().source;
    CellRect sel;
    // Moves can arrive from outside the picture while a right or middle button is held.
    sel.x0 = cellOf(x);
    sel.y0 = cellOf(y);
    sel.x1 = sel.x0 + (source.x1 - source.x0);
    sel.y1 = sel.y0 + (source.y1 - source.y0);
    if (sel.x1 > data::kCellsPerSide - 1) sel.x1 = data::kCellsPerSide - 1;
    if (sel.y1 > data::kCellsPerSide - 1) sel.y1 = data::kCellsPerSide - 1;
    setSelection(sel);
    RedrawView();
}

void pictureMouseDown(MouseButton button, int x, int y) {
    if (button != MouseButton::Left) return;
    if (copyState().copyMode) {
        placeCopy();
        return;
    }
    startDrag();
    // A press comes from a point on the picture; clamping only guards against a toolkit that says otherwise.
    const int cx = cellOf(x), cy = cellOf(y);
    setSelection(CellRect{cx, cy, cx, cy});
}

void pictureMouseMove(int x, int y) {
    const auto& s = selectionState();
    if (s.dragging && !copyState().copyMode) {
        setSelection(CellRect{s.selection.x0, s.selection.y0, cellOf(x), cellOf(y)});
        RedrawView();
    } else if (copyState().copyMode) {
        movePreview(x, y);
    }
}

void pictureMouseUp(MouseButton /*button*/) {
    endDrag();
    RedrawView();
}

void SelectAll() {
    setSelection(CellRect{0, 0, data::kCellsPerSide - 1, data::kCellsPerSide - 1});
    RedrawView();
}

}  // namespace nrbx::canvas
