#include "canvas/palette_block.h"

#include "canvas/images.h"
#include "canvas/selection.h"
#include "canvas/view.h"

namespace nrbx::canvas {

std::string blockText(int block) {
    std::string text = std::to_string(block);
    return text.size() < 2 ? "0" + text : text;
}

void changePaletteBlock(int block) {
    const CellRect r = orderedSelection();
    setPaletteBlock(ClampInt(block, 0, kPaletteBlocks - 1));
    RenderCells(r.x0, r.y0, r.x1, r.y1);
    RedrawView();
}

}  // namespace nrbx::canvas
