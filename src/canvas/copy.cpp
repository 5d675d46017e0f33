#include "canvas/copy.h"

#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/pattern.h"
#include "platform/cursor.h"

namespace nrbx::canvas {

namespace {

CopyState g_copy;

}  // namespace

const CopyState& copyState() {
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

void placeCopy() {
    startDrag();
    const auto& sel = selectionState().selection;
    PasteCells(sel.x0, sel.y0, sel.x1, sel.y1, g_copy.source.x0, g_copy.source.y0);
    g_copy.copyMode = false;
}

void PasteCells(int x0, int y0, int x1, int y1, int sxmin, int symin) {
    g_copy.snapshot = data::patternState().grid;
    data::copyCells(g_copy.snapshot, x0, y0, x1, y1, sxmin, symin);
    RenderCells(x0, y0, x1, y1);
    platform::setAppCursor(platform::AppCursor::Default);
}

void cancelCopy() {
    g_copy.copyMode = false;
    platform::setAppCursor(platform::AppCursor::Default);
    composeView([](const Image24& backing, Image24& view) { view = backing; });
}

void leaveCopyMode() {
    g_copy.copyMode = false;
}

}  // namespace nrbx::canvas
