#pragma once
// Indexed export without loss: the sprite palette is the colour table and each pixel keeps its index.

#include <array>
#include <optional>
#include <span>
#include <utility>

#include "canvas/images.h"
#include "data/cell_grid.h"
#include "export/export_image.h"

namespace nrbx::exporting {

// A block given to a rectangle of cells (rendered again with it), as the palette-block command does.
struct CellsBlock {
    canvas::CellRect cells;
    int block = 0;
    bool operator==(const CellsBlock&) const = default;
};

using CellBlocks = std::array<std::array<int, data::kCellsPerSide>, data::kCellsPerSide>;  // [cy][cx]
// The block each cell is rendered with once every cell is rendered with block and each change is
// applied in order; known before any rendering, so a plan can be checked before anything is written.
CellBlocks plannedCellBlocks(int block, std::span<const CellsBlock> changes);

// The first cell of cells (in reading order) whose planned block differs from the first cell's, if any:
// at 4 bits sprite-indexed, 16 colours hold one block.
std::optional<std::pair<int, int>> firstMixedCell(const CellBlocks& blocks, const canvas::CellRect& cells);

// The cells x0..x1 x y0..y1 (corners in any order) as they were last rendered. At 8 bits the table is
// the whole 256-entry palette table and a pixel is (its cell's block) * 16 + its colour index; at 4 bits
// the table is one block's 16 colours and a pixel is its colour index, which needs every cell rendered
// with that one block. Raises a failure when the cells cannot be written so (mixed blocks at 4 bits,
// a cell never rendered, another depth), rather than write colours the picture does not show.
exporting::ExportImage spriteIndexedExport(int x0, int y0, int x1, int y1, int bpp);

}  // namespace nrbx::exporting
