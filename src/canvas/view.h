#pragma once
// The composition of the view image: the clean picture, the copy preview and the selection frame.

namespace nrbx::canvas {

// Backing image, then the copy preview in copy mode, then the black, blue and white frame rings.
void RedrawView();

}  // namespace nrbx::canvas
