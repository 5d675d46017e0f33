#pragma once
// Copy mode: remembering a source rectangle and placing the copy.

#include "data/cell_grid.h"

namespace nrbx::canvas {

using data::CellRect;

struct CopyState {
    bool copyMode = false;
    CellRect source;          // ordered; coordinates only, cells are read from the live grid when used
    data::CellGrid snapshot;  // the grid as it was when the current placement began
};

const CopyState& copyState();
void resetCopyState();

// Enters copy mode with the ordered selection as the source; no redraw.
void startCopy();
// Writes the source cells into the selection as stored (a reversed rectangle copies nothing) and leaves
// copy mode. The dragging flag is set, as the press that placed it is still held.
void placeCopy();
// Destination cells x0..x1 x y0..y1 receive the cells from (sxmin, symin) on, read from a snapshot so
// an overlapping source is copied exactly; then the destination is rendered.
void PasteCells(int x0, int y0, int x1, int y1, int sxmin, int symin);
// Leaves copy mode; the view shows the backing image without frame or preview.
void cancelCopy();
// Leaves copy mode without touching the images, as a fresh start does.
void leaveCopyMode();

}  // namespace nrbx::canvas
