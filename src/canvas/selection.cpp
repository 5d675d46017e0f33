#include "canvas/selection.h"

namespace nrbx::canvas {

namespace {
SelectionState g_selection;
}

const SelectionState& selectionState() {
    return g_selection;
}
void resetSelectionState() {
    g_selection = SelectionState{};
}

void setSelection(const CellRect& selection) {
    g_selection.selection = selection;
}

void startDrag() {
    g_selection.dragging = true;
}

void endDrag() {
    g_selection.dragging = false;
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

}  // namespace nrbx::canvas
