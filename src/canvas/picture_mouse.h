#pragma once
// The mouse on the picture: dragging out a selection, and the copy preview that follows the pointer.

namespace nrbx::canvas {

enum class MouseButton { Left, Right, Middle };

// Picture pixels (may lie outside 0..255 while the pointer is captured).
void pictureMouseDown(MouseButton button, int x, int y);
void pictureMouseMove(int x, int y);
void pictureMouseUp(MouseButton button);

// The pointer cell becomes the preview's top-left cell; the far corner follows the source's size,
// cut off at the right and bottom edges.
void movePreview(int x, int y);

void SelectAll();

}  // namespace nrbx::canvas
