#pragma once
// Changing the palette block: the selected cells are rendered again with the new block.

#include <string>

namespace nrbx::canvas {

// "00".."15", as the block number display shows it.
std::string blockText(int block);

// Sets the block (0..15) and renders the ordered selection with it, then redraws the view.
void changePaletteBlock(int block);

}  // namespace nrbx::canvas
