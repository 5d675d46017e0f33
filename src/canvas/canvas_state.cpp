#include "canvas/canvas_state.h"

#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/selection.h"

namespace nrbx::canvas {

void resetCanvasState() {
    resetImageState();
    resetSelectionState();
    resetCopyState();
}

}  // namespace nrbx::canvas
