#include "canvas/start_up.h"

#include "canvas/canvas_state.h"
#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/data_state.h"
#include "data/palette.h"

namespace nrbx::canvas {

void startPicture() {
    endDrag();
    setPaletteBlock(0);
    CreateImages();
    leaveCopyMode();
    data::SetDefaultPalette();
}

void resetPictureToStartUp() {
    data::resetDataState();
    resetCanvasState();
    startPicture();
}

}  // namespace nrbx::canvas
