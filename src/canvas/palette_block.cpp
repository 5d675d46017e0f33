#include "canvas/palette_block.h"

#include "canvas/images.h"
#include "canvas/selection.h"

namespace nrbx::canvas {

std::string blockText(int block) {
    std::string text = std::to_string(block);
    return text.size() < 2 ? "0" + text : text;
}

void changePaletteBlock(int block) {
    const CellRect r = orderedSelection();
    imageState().paletteBlock = ClampInt(block, 0, 15);
    RenderCells(r.xmin, r.ymin, r.xmax, r.ymax);
    RedrawView();
}

}  // namespace nrbx::canvas
