#pragma once
// The picture as the program starts with it: white images, default palette, no drag, no copy mode.

namespace nrbx::canvas {

// What the window's start-up sets: block 0, white images with no cell rendered, the default palette,
// neither a drag nor copy mode. The pattern and the selection stay as they are.
void startPicture();

// The whole picture state as a fresh start leaves it: empty buffers and selection, then startPicture().
void resetPictureToStartUp();

}  // namespace nrbx::canvas
