#pragma once
// The reset of every module state of the canvas level, for tests.

namespace nrbx::canvas {

// Both images black, block 0, no cell rendered, selection (0, 0, 0, 0), no drag, no copy mode.
void resetCanvasState();

}  // namespace nrbx::canvas
