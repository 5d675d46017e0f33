#pragma once
// Indexed export without loss: the sprite palette is the colour table and each pixel keeps its index.

#include "export/export_image.h"

namespace nrbx::cli {

// The cells x0..x1 x y0..y1 (corners in any order) as they were last rendered. At 8 bits the table is
// the whole 256-entry palette table and a pixel is (its cell's block) * 16 + its colour index; at 4 bits
// the table is one block's 16 colours and a pixel is its colour index, which needs every cell rendered
// with that one block. Raises a failure when the cells cannot be written so (mixed blocks at 4 bits,
// a cell never rendered, another depth), rather than write colours the picture does not show.
exporting::ExportImage spriteIndexedExport(int x0, int y0, int x1, int y1, int bpp);

}  // namespace nrbx::cli
