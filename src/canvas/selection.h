#pragma once
// The selection of cells: its corners as the user made them, and whether a drag is going on.

#include <utility>

#include "data/cell_grid.h"

namespace nrbx::canvas {

using data::CellRect;

struct SelectionState {
    CellRect selection;  // anchor (x0, y0) and moving cell (x1, y1); not kept ordered
    bool dragging = false;
};

const SelectionState& selectionState();
void resetSelectionState();

void setSelection(const CellRect& selection);
void startDrag();
// The drag is over, whether or not the release reached the picture.
void endDrag();

int ClampInt(int value, int lo, int hi);
std::pair<int, int> OrderPair(int a, int b);
CellRect orderedSelection();

}  // namespace nrbx::canvas
