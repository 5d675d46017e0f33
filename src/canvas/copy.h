#pragma once
// Copy mode: remembering a source rectangle, the preview that follows the pointer, and placing the copy.

#include "canvas/images.h"
#include "data/cell_grid.h"

namespace nrbx::canvas {

struct CopyState {
    bool copyMode = false;
    CellRect source;          // coordinates only; cells are read from the live grid when used
    data::CellGrid snapshot;  // the grid as it was when the current placement began
};

CopyState& copyState();
void resetCopyState();

// Enters copy mode with the ordered selection as the source; no redraw.
void startCopy();
// The pointer cell becomes the preview's top-left cell; the far corner follows the source's size,
// cut off at the right and bottom edges.
void movePreview(int x, int y);
// Writes the source cells into the selection as stored (a reversed rectangle copies nothing) and leaves
// copy mode. The dragging flag is set, as the press that placed it is still held.
void placeCopy();
// Destination cells x0..x1 x y0..y1 receive the cells from (sxmin, symin) on, read from a snapshot so
// an overlapping source is copied exactly; then the destination is rendered.
void PasteCells(int x0, int y0, int x1, int y1, int sxmin, int symin);
// Leaves copy mode; the view shows the backing image without frame or preview.
void cancelCopy();

}  // namespace nrbx::canvas
