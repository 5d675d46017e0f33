#include "import/palette_match.h"

#include <set>
#include <utility>

namespace nrbx::importing {

namespace {

// The colours of one palette block, looked up by key.
struct PaletteBlock {
    std::array<Key, data::kColorsPerBlock> keys;
    int find(Key key) const {
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            if (keys[i] == key) return i;
        return -1;
    }
    int nearest(Key key) const {
        int best = 0;
        for (int i = 1; i < data::kColorsPerBlock; ++i)
            if (distance(keys[i], key) < distance(keys[best], key)) best = i;
        return best;
    }
};

}  // namespace

void importByPalette(const Cells& cells, const ImportSettings& settings, ImportResult& result) {
    result.palette = *settings.palette;
    std::array<PaletteBlock, data::kPaletteBlocks> blocks;
    for (int k = 0; k < data::kPaletteEntries; ++k)
        blocks[k / data::kColorsPerBlock].keys[k % data::kColorsPerBlock] = keyOfWord(result.palette.word(k));
    std::set<std::pair<int, Key>> noted;
    KeyTable table;

    for (int py = 0; py < cells.rows(); ++py) {
        for (int px = 0; px < cells.columns(); ++px) {
            const CellKeys keys = cells.keys(px, py);
            std::vector<Key> colors = table.distinct(keys);
            if (!colors.empty() && colors.back() == kTransparent) colors.pop_back();
            const auto holdsAll = [&](int b) {
                return std::all_of(colors.begin(), colors.end(),
                                   [&](Key k) { return blocks[b].find(k) >= 0; });
            };
            int block = -1;
            if (settings.blocks) {
                block = (*settings.blocks)[cells.sprite(px, py)];
            } else {
                for (int b = 0; b < data::kPaletteBlocks && block < 0; ++b)
                    if (holdsAll(b)) block = b;
            }
            if (block < 0 && settings.nearest) {
                // The block whose nearest colours are closest to the cell's, each weighed by its pixels.
                table.clear();
                for (std::size_t i = 0; i < colors.size(); ++i) table.set(colors[i], std::uint8_t(i));
                std::vector<long> pixels(colors.size());
                for (Key k : keys)
                    if (k != kTransparent) ++pixels[table[k]];
                long bestError = -1;
                for (int b = 0; b < data::kPaletteBlocks; ++b) {
                    long error = 0;
                    for (std::size_t i = 0; i < colors.size(); ++i)
                        error +=
                            pixels[i] * distance(blocks[b].keys[blocks[b].nearest(colors[i])], colors[i]);
                    if (bestError < 0 || error < bestError) bestError = error, block = b;
                }
            }
            if (block < 0) {
                for (Key k : colors) {
                    if (std::none_of(blocks.begin(), blocks.end(),
                                     [&](const PaletteBlock& b) { return b.find(k) >= 0; }))
                        throw cannotImport(cells.where(px, py) + ": colour " + cells.colorOf(px, py, k) +
                                           " is not in the palette");
                }
                int most = 0;
                std::size_t mostCount = 0;
                for (int b = 0; b < data::kPaletteBlocks; ++b) {
                    const auto n = std::size_t(std::count_if(colors.begin(), colors.end(),
                                                             [&](Key k) { return blocks[b].find(k) >= 0; }));
                    if (n > mostCount) most = b, mostCount = n;
                }
                const Key missing = *std::find_if(colors.begin(), colors.end(),
                                                  [&](Key k) { return blocks[most].find(k) < 0; });
                throw cannotImport(
                    cells.where(px, py) + ": no palette block holds all of its colours; block " +
                    std::to_string(most) + ", which holds the most, lacks " + cells.colorOf(px, py, missing));
            }

            const PaletteBlock& chosen = blocks[block];
            table.clear();
            table.set(kTransparent, 0);
            for (Key k : colors) {
                const int i = chosen.find(k);
                table.set(k, std::uint8_t(i >= 0 ? i : chosen.nearest(k)));
                if (i < 0 && !settings.nearest) {
                    throw cannotImport(cells.where(px, py) + ": colour " + cells.colorOf(px, py, k) +
                                       " is not in palette block " + std::to_string(block));
                }
                if (i >= 0 &&
                    std::find(chosen.keys.begin() + i + 1, chosen.keys.end(), k) != chosen.keys.end() &&
                    noted.insert({block, k}).second) {
                    result.notes.push_back("palette block " + std::to_string(block) + " holds " +
                                           cells.colorOf(px, py, k) + " more than once; index " +
                                           std::to_string(i) + " is used");
                }
            }
            CellIndices cell;
            for (int i = 0; i < data::kCellPixels; ++i) cell[i] = table[keys[i]];
            cells.put(result, px, py, cell, block);
        }
    }
}

}  // namespace nrbx::importing
