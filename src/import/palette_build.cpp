// No palette given: each cell's colour set, packed into blocks (import/packing.h), becomes the palette.

#include <chrono>
#include <optional>

#include "import/cells.h"
#include "import/packing.h"

namespace nrbx::importing {

namespace {

using Clock = std::chrono::steady_clock;

std::string blocksText(int n) {
    return std::to_string(n) + " palette block" + (n == 1 ? "" : "s");
}

// The refusal for a packing that was not found, with its proof or why there is none.
platform::Failure notPacked(const Cells& cells, const Packing& packing, std::chrono::milliseconds limit) {
    const std::string needsMore = "picture " + cells.pictureName() + " needs more than " +
                                  blocksText(data::kPaletteBlocks) + " of " +
                                  std::to_string(data::kColorsPerBlock) + " colours: ";
    switch (packing.outcome) {
        case Packing::Outcome::Apart: {
            std::string names;
            for (int c : packing.apart)
                names += (names.empty() ? "" : " ") +
                         cells.cellName(c % cells.columns(), c / cells.columns()).substr(5);
            return cannotImport(needsMore + "no two of the " + std::to_string(packing.apart.size()) +
                                " cells " + names + " fit one block together");
        }
        case Packing::Outcome::TooManyColors:
            return cannotImport(needsMore + "its cells have " + std::to_string(packing.colors) +
                                " different colours, and the palette holds " +
                                std::to_string(data::kPaletteEntries));
        case Packing::Outcome::Exhausted:
            return cannotImport(needsMore + "a complete search found no packing of its cells' colours");
        case Packing::Outcome::TimeLimit:
        case Packing::Outcome::Packed:
            break;
    }
    const std::string time = limit.count() % 1000 == 0 ? std::to_string(limit.count() / 1000) + " s"
                                                       : std::to_string(limit.count()) + " ms";
    return cannotImport("picture " + cells.pictureName() + ": the search for a packing into " +
                        blocksText(data::kPaletteBlocks) + " stopped at its limit of " + time +
                        " without an answer, and the best packing found needs " + blocksText(packing.blocks) +
                        "; --pack-time gives it longer");
}

}  // namespace

void importBuildingPalette(const Cells& cells, const ImportSettings& settings, ImportResult& result) {
    const auto start = Clock::now();
    const int count = cells.count();
    std::vector<CellKeys> keys(count);
    std::vector<ColorSet> sets(count);
    KeyTable table;
    bool clear = false;  // any transparent pixel in the picture
    bool full = false;   // any cell with as many opaque colours as a block holds
    for (int c = 0; c < count; ++c) {
        const int px = c % cells.columns(), py = c / cells.columns();
        keys[c] = cells.keys(px, py);
        sets[c] = table.distinct(keys[c]);
        const bool cellClear = sets[c].back() == kTransparent;
        if (sets[c].size() > std::size_t(data::kColorsPerBlock)) {
            throw cannotImport(cells.where(px, py) + " has " + std::to_string(sets[c].size()) + " colours" +
                               (cellClear ? " (transparent pixels count as one)" : "") +
                               "; a sprite has at most " + std::to_string(data::kColorsPerBlock));
        }
        clear = clear || cellClear;
        full = full || (!cellClear && sets[c].size() == std::size_t(data::kColorsPerBlock));
    }

    // nrbx-export --transparent clears index 0 in every cell: where the picture has transparent pixels,
    // every block keeps index 0 for them if it can, so that the round trip gives the picture back.
    PackingLimits limits;
    limits.time = settings.packingTimeLimit;
    std::optional<Packing> packing;
    if (clear && !full) {
        std::vector<ColorSet> withClear = sets;
        for (ColorSet& set : withClear)
            if (set.back() != kTransparent) set.push_back(kTransparent);
        limits.time = settings.packingTimeLimit / 2;
        packing = packColorSets(withClear, limits);
    }
    if (!packing || packing->outcome != Packing::Outcome::Packed) {
        limits.time =
            std::max(std::chrono::milliseconds(0),
                     settings.packingTimeLimit -
                         std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
        packing = packColorSets(sets, limits);
    }
    if (packing->outcome != Packing::Outcome::Packed)
        throw notPacked(cells, *packing, settings.packingTimeLimit);
    if (packing->searched) {
        result.notes.push_back("the greedy packing needed more than " + blocksText(data::kPaletteBlocks) +
                               "; a search found " + std::to_string(packing->blocks));
    }
    const std::vector<int>& blockOf = packing->blockOf;
    const int blocks = packing->blocks;

    // Blocks numbered in the order their first cell comes in the picture.
    std::vector<int> number(blocks, -1);
    int next = 0;
    for (int c = 0; c < count; ++c)
        if (number[blockOf[c]] < 0) number[blockOf[c]] = next++;
    std::vector<ColorSet> colors(blocks);
    for (int c = 0; c < count; ++c) {
        ColorSet& block = colors[number[blockOf[c]]];
        ColorSet merged;
        std::set_union(block.begin(), block.end(), sets[c].begin(), sets[c].end(),
                       std::back_inserter(merged));
        block = std::move(merged);
    }
    // Transparency (sorted last) becomes index 0, black; the colours follow in ascending word order, from
    // index 1 where the picture has transparent pixels and the block has room.
    for (int b = 0; b < blocks; ++b) {
        ColorSet& block = colors[b];
        if (block.back() == kTransparent) {
            block.pop_back();
            block.insert(block.begin(), kTransparent);
        } else if (clear && block.size() < std::size_t(data::kColorsPerBlock)) {
            block.insert(block.begin(), kTransparent);
        } else if (clear) {
            const data::Rgb shown = data::colorFromWord(wordOfKey(block[0]));
            const std::uint8_t rgb[3] = {shown.red, shown.green, shown.blue};
            result.warnings.push_back("picture " + cells.pictureName() + ": palette block " +
                                      std::to_string(b) + " needs all " +
                                      std::to_string(data::kColorsPerBlock) +
                                      " indices for opaque colours, so nrbx-export --transparent would also "
                                      "clear its colour " +
                                      colorName(rgb) + " at index 0");
        }
        for (std::size_t i = 0; i < block.size(); ++i)
            result.palette.setWord(b * data::kColorsPerBlock + int(i), wordOfKey(block[i]));
    }
    for (int c = 0; c < count; ++c) {
        const int px = c % cells.columns(), py = c / cells.columns();
        const int b = number[blockOf[c]];
        table.clear();
        for (std::size_t i = 0; i < colors[b].size(); ++i) table.set(colors[b][i], std::uint8_t(i));
        CellIndices cell;
        for (int i = 0; i < data::kCellPixels; ++i) cell[i] = table[keys[c][i]];
        cells.put(result, px, py, cell, b);
    }
}

}  // namespace nrbx::importing
