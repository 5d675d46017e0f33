#pragma once
// The selection of cells, the mouse logic on the picture, and the composition of the view image.

#include <utility>

#include "canvas/images.h"

namespace nrbx::canvas {

enum class MouseButton { Left, Right, Middle };

const char* toString(MouseButton button);

// Anchor (x0, y0) and moving cell (x1, y1) as the user made them; not kept ordered.
struct Selection {
    int x0 = 0;
    int y0 = 0;
    int x1 = 0;
    int y1 = 0;
    bool operator==(const Selection&) const = default;
};

struct SelectionState {
    Selection selection;
    bool dragging = false;
};

SelectionState& selectionState();
void resetSelectionState();

int ClampInt(int value, int lo, int hi);
std::pair<int, int> OrderPair(int a, int b);
CellRect orderedSelection();

// Backing image, then the copy preview in copy mode, then the black, blue and white frame rings.
void RedrawView();

// The mouse on the picture, in picture pixels (may lie outside 0..255 while the pointer is captured).
void pictureMouseDown(MouseButton button, int x, int y);
void pictureMouseMove(int x, int y);
void pictureMouseUp(MouseButton button);

void SelectAll();

}  // namespace nrbx::canvas
