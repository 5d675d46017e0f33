#include "import/indexed_import.h"

namespace nrbx::importing {

void importIndices(const Picture& picture, const Cells& cells, const ImportSettings& settings,
                   ImportResult& result) {
    if (!picture.indexed) {
        throw cannotImport(
            "picture " + cells.pictureName() +
            " has no colour table; --indexed sprite takes an indexed PNG or an 8- or 4-bit BMP");
    }
    // A table of one block's size goes to block -b; a longer one is the whole palette.
    const bool wide = picture.table.size() > std::size_t(data::kColorsPerBlock);
    for (std::size_t k = 0; k < picture.table.size(); ++k) {
        const int entry = wide ? int(k) : settings.block * data::kColorsPerBlock + int(k);
        result.palette.setWord(entry, data::wordFromColor(picture.table[k]));
    }
    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            CellIndices cell;
            int block = wide ? -1 : settings.block;
            cells.forEachPixel(px, py, [&](int i, std::size_t at) {
                const int v = picture.indices[at];
                cell[i] = std::uint8_t(v % data::kColorsPerBlock);
                if (!wide) return;
                const int own = v / data::kColorsPerBlock;
                if (block < 0) block = own;
                if (own != block) {
                    throw cannotImport(cells.where(px, py) + " mixes palette blocks " +
                                       std::to_string(block) + " and " + std::to_string(own) +
                                       "; a sprite has one block");
                }
            });
            cells.put(result, px, py, cell, block);
        }
    }
}

}  // namespace nrbx::importing
