#include "export/sprite_indexed.h"

#include <algorithm>
#include <string>

#include "canvas/images.h"
#include "canvas/selection.h"
#include "data/palette.h"
#include "data/pattern.h"
#include "platform/failure.h"

namespace nrbx::exporting {

namespace {

platform::Failure cannotIndex(const std::string& why) {
    return platform::Failure(platform::FailureKind::Other,
                             "cannot write the sprite palette's indices: " + why);
}

std::string cellName(int cx, int cy) {
    return "cell " + std::to_string(cx) + "," + std::to_string(cy);
}

}  // namespace

CellBlocks plannedCellBlocks(int block, std::span<const CellsBlock> changes) {
    CellBlocks blocks;
    for (auto& row : blocks) row.fill(block);
    for (const auto& c : changes) {
        for (int cy = c.cells.y0; cy <= c.cells.y1; ++cy)
            for (int cx = c.cells.x0; cx <= c.cells.x1; ++cx) blocks[cy][cx] = c.block;
    }
    return blocks;
}

std::optional<std::pair<int, int>> firstMixedCell(const CellBlocks& blocks, const canvas::CellRect& cells) {
    const int first = blocks[cells.y0][cells.x0];
    for (int cy = cells.y0; cy <= cells.y1; ++cy)
        for (int cx = cells.x0; cx <= cells.x1; ++cx)
            if (blocks[cy][cx] != first) return std::pair{cx, cy};
    return std::nullopt;
}

ExportImage spriteIndexedExport(int x0, int y0, int x1, int y1, int bpp) {
    if (bpp != 8 && bpp != 4) throw cannotIndex("depth " + std::to_string(bpp) + " is not 8 or 4");
    const auto [xmin, xmax] = canvas::OrderPair(canvas::ClampInt(x0, 0, canvas::kLastCell),
                                                canvas::ClampInt(x1, 0, canvas::kLastCell));
    const auto [ymin, ymax] = canvas::OrderPair(canvas::ClampInt(y0, 0, canvas::kLastCell),
                                                canvas::ClampInt(y1, 0, canvas::kLastCell));
    const auto& cellBlock = canvas::imageState().cellBlock;
    const int firstBlock = cellBlock[ymin][xmin];
    for (int cy = ymin; cy <= ymax; ++cy) {
        for (int cx = xmin; cx <= xmax; ++cx) {
            // A cell never rendered is white, which no palette entry stands for.
            if (cellBlock[cy][cx] == canvas::kNeverRendered)
                throw cannotIndex(cellName(cx, cy) + " was never rendered");
            if (bpp == 4 && cellBlock[cy][cx] != firstBlock) {
                throw cannotIndex(cellName(cx, cy) + " has palette block " +
                                  std::to_string(cellBlock[cy][cx]) + ", " + cellName(xmin, ymin) +
                                  " block " + std::to_string(firstBlock) + "; 16 colours hold one block");
            }
        }
    }

    const auto& table = data::paletteState().table;
    const auto& grid = data::patternState().grid;
    ExportImage image;
    image.width = (xmax - xmin + 1) * canvas::kCellSize;
    image.height = (ymax - ymin + 1) * canvas::kCellSize;
    image.bpp = bpp;
    if (bpp == 8) {
        image.colorTable.assign(table.begin(), table.end());
    } else {
        image.colorTable.assign(table.begin() + firstBlock * 16, table.begin() + firstBlock * 16 + 16);
    }
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    std::uint8_t* out = image.pixels.data();
    for (int y = ymin * canvas::kCellSize; y < (ymax + 1) * canvas::kCellSize; ++y) {
        const std::uint8_t* in = grid.row(y);
        const auto& blocks = cellBlock[y / canvas::kCellSize];
        for (int x = xmin * canvas::kCellSize; x < (xmax + 1) * canvas::kCellSize; ++x) {
            const int base = bpp == 8 ? blocks[x / canvas::kCellSize] * 16 : 0;
            *out++ = static_cast<std::uint8_t>(base + (in[x] & 0x0F));
        }
    }
    return image;
}

}  // namespace nrbx::exporting
