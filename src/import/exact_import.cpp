#include "import/exact_import.h"

#include "import/palette_build.h"

namespace nrbx::importing {

namespace {

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
    const int count = cells.count();
    std::vector<CellKeys> keys(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c)
        keys[std::size_t(c)] = cells.keys(c % cells.columns(), c / cells.columns());
    PaletteLimits limits;
    limits.time = settings.packingTimeLimit;
    const BuiltPalette built = buildPalette(keys, limits);
    if (built.crowdedCell >= 0) {
        const int px = built.crowdedCell % cells.columns(), py = built.crowdedCell / cells.columns();
        KeyTable table;
        const std::vector<Key> set = table.distinct(keys[std::size_t(built.crowdedCell)]);
        throw cannotImport(cells.where(px, py) + " has " + std::to_string(set.size()) + " colours" +
                           (set.back() == kTransparent ? " (transparent pixels count as one)" : "") +
                           "; a sprite has at most " + std::to_string(data::kColorsPerBlock));
    }
    if (!built.built()) throw notPacked(cells, built.packing, settings.packingTimeLimit);
    if (built.packing.searched) {
        result.notes.push_back("the greedy packing needed more than " + blocksText(data::kPaletteBlocks) +
                               "; a search found " + std::to_string(built.packing.blocks));
    }
    // Index 0 is black where it stands for transparency.
    for (std::size_t b = 0; b < built.blocks.size(); ++b) {
        const std::vector<Key>& block = built.blocks[b];
        if (built.clear && block.front() != kTransparent) {
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
            result.palette.setWord(int(b) * data::kColorsPerBlock + int(i), wordOfKey(block[i]));
    }
    for (int c = 0; c < count; ++c)
        cells.put(result, c % cells.columns(), c / cells.columns(), built.indices[std::size_t(c)],
                  built.blockOfCell[std::size_t(c)]);
}

}  // namespace nrbx::importing
