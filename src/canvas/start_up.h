#pragma once
// The picture's whole state as a fresh start leaves it: empty buffers, white images, default palette.

namespace nrbx::canvas {

void resetPictureToStartUp();

}  // namespace nrbx::canvas
