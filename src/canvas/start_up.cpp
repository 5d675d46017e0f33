#include "canvas/start_up.h"

#include "canvas/copy.h"
#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/palette.h"
#include "data/pattern.h"

namespace nrbx::canvas {

void resetPictureToStartUp() {
    data::resetPatternState();
    data::resetPaletteState();
    resetImageState();
    resetSelectionState();
    resetCopyState();
    CreateImages();
    data::SetDefaultPalette();
}

}  // namespace nrbx::canvas
