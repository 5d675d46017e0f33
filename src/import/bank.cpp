// Several pictures, one palette: the exact build over all of their cells with kept blocks first, or
// one reduction of them all.

#include "import/bank.h"

#include <algorithm>
#include <deque>

#include "import/palette_build.h"
#include "import/quality.h"

namespace nrbx::importing {

namespace {

using BlockKeys = std::array<Key, data::kColorsPerBlock>;

std::string blocksText(int n) {
    return std::to_string(n) + " palette block" + (n == 1 ? "" : "s");
}

// The pictures' cells in one list: picture after picture, each row by row, numbered within the picture.
class BankCells {
  public:
    BankCells(std::span<const Picture> pictures, std::span<const std::string> names, int clearBelow) {
        for (std::size_t p = 0; p < pictures.size(); ++p) {
            const Cells& cells = m_cells.emplace_back(pictures[p], m_placeless, names[p], clearBelow);
            for (int c = 0; c < cells.count(); ++c) m_refs.push_back({int(p), c});
        }
    }
    std::size_t size() const { return m_refs.size(); }
    const Cells& of(std::size_t n) const { return m_cells[std::size_t(m_refs[n].picture)]; }
    int picture(std::size_t n) const { return m_refs[n].picture; }
    int cell(std::size_t n) const { return m_refs[n].cell; }
    int px(std::size_t n) const { return cell(n) % of(n).columns(); }
    int py(std::size_t n) const { return cell(n) / of(n).columns(); }
    CellKeys keys(std::size_t n) const { return of(n).keys(px(n), py(n)); }
    std::string where(std::size_t n) const { return of(n).where(px(n), py(n)); }
    // ", pixel 20,5: colour #F80000", the first pixel of that key in the cell, numbered in the picture.
    std::string pixelOf(std::size_t n, const CellKeys& keys, Key key) const {
        const int i = int(std::find(keys.begin(), keys.end(), key) - keys.begin());
        return ", pixel " + std::to_string(px(n) * data::kCellSize + i % data::kCellSize) + "," +
               std::to_string(py(n) * data::kCellSize + i / data::kCellSize) + ": colour " +
               of(n).colorOf(px(n), py(n), key);
    }

  private:
    struct Ref {
        int picture;
        int cell;
    };
    ImportSettings m_placeless;  // cells numbered within their picture
    std::deque<Cells> m_cells;   // Cells refer to m_placeless and stay where they are
    std::vector<Ref> m_refs;
};

Bank emptyBank(std::span<const Picture> pictures) {
    Bank bank;
    for (const Picture& picture : pictures) {
        BankPicture& p = bank.pictures.emplace_back();
        p.columns = picture.width / data::kCellSize;
        p.rows = picture.height / data::kCellSize;
        p.cells.resize(std::size_t(p.columns) * std::size_t(p.rows));
    }
    return bank;
}

// The index of an opaque colour in a kept block: the first that holds it, counted from 1 when index 0
// is transparency's, as in a block the exact build made.
int keptIndex(const BlockKeys& block, Key key, bool clear) {
    for (int i = clear ? 1 : 0; i < data::kColorsPerBlock; ++i)
        if (block[std::size_t(i)] == key) return i;
    return block[0] == key ? 0 : -1;
}

// With every block kept, a cell that none of them holds is refused at its first missing colour.
platform::Failure notInKeptBlocks(const BankCells& cells, std::size_t n, const CellKeys& keys,
                                  std::span<const BlockKeys> blocks) {
    const auto holds = [](const BlockKeys& block, Key k) {
        return std::find(block.begin(), block.end(), k) != block.end();
    };
    for (Key k : keys) {
        if (k == kTransparent) continue;
        if (std::none_of(blocks.begin(), blocks.end(), [&](const BlockKeys& b) { return holds(b, k); }))
            return cannotImport(cells.where(n) + cells.pixelOf(n, keys, k) +
                                " is in no palette block, and every block is kept");
    }
    // Each colour is somewhere, but no block has them all: the block that comes nearest is named.
    KeyTable table;
    std::vector<Key> colours = table.distinct(keys);
    if (colours.back() == kTransparent) colours.pop_back();
    std::size_t most = 0, mostHeld = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const auto held = std::size_t(
            std::count_if(colours.begin(), colours.end(), [&](Key k) { return holds(blocks[b], k); }));
        if (held > mostHeld) most = b, mostHeld = held;
    }
    const Key missing =
        *std::find_if(colours.begin(), colours.end(), [&](Key k) { return !holds(blocks[most], k); });
    return cannotImport(cells.where(n) +
                        ": no palette block holds all of its colours, and every block is kept; block " +
                        std::to_string(most) + ", which holds the most, lacks the one at" +
                        cells.pixelOf(n, keys, missing).substr(1));
}

// The refusal for cells that do not pack into the blocks left to build.
platform::Failure notBuilt(const BankCells& cells, std::span<const std::size_t> rest,
                           const BuiltPalette& built, int freeBlocks, std::chrono::milliseconds limit) {
    if (built.crowdedCell >= 0) {
        const std::size_t n = rest[std::size_t(built.crowdedCell)];
        KeyTable table;
        const std::vector<Key> set = table.distinct(cells.keys(n));
        return cannotImport(cells.where(n) + " has " + std::to_string(set.size()) + " colours" +
                            (set.back() == kTransparent ? " (transparent pixels count as one)" : "") +
                            "; a sprite has at most " + std::to_string(data::kColorsPerBlock));
    }
    const std::string needsMore = "the pictures need more than the " + blocksText(freeBlocks) +
                                  (freeBlocks < data::kPaletteBlocks ? " not kept" : "") + ": ";
    switch (built.packing.outcome) {
        case Packing::Outcome::Apart: {
            std::string names;
            for (int c : built.packing.apart) {
                const std::size_t n = rest[std::size_t(c)];
                names += (names.empty() ? "" : "; ") + cells.of(n).pictureName() + " " +
                         std::to_string(cells.px(n)) + "," + std::to_string(cells.py(n));
            }
            return cannotImport(needsMore + "no two of the " + std::to_string(built.packing.apart.size()) +
                                " cells " + names + " fit one block together");
        }
        case Packing::Outcome::TooManyColors:
            return cannotImport(needsMore + "their cells have " + std::to_string(built.packing.colors) +
                                " different colours");
        case Packing::Outcome::Exhausted:
            return cannotImport(needsMore + "a complete search found no packing of their cells' colours");
        case Packing::Outcome::TimeLimit:
        case Packing::Outcome::Packed:
            break;
    }
    return cannotImport("the search for a packing of the pictures into " + blocksText(freeBlocks) +
                        " stopped at its limit of " + std::to_string(limit.count()) +
                        " ms, and the best packing found needs " + blocksText(built.packing.blocks) +
                        "; --pack-time gives it longer");
}

Bank exactBank(std::span<const Picture> pictures, std::span<const std::string> names,
               const BankSettings& settings) {
    // Without a threshold, alpha 0 alone is transparent, and alpha between is refused.
    const BankCells cells(pictures, names, settings.alphaThreshold.value_or(1));
    if (!settings.alphaThreshold)
        for (std::size_t p = 0; p < pictures.size(); ++p)
            refusePartlyTransparent(pictures[p], Cells(pictures[p], ImportSettings{}, names[p], 1));
    Bank bank = emptyBank(pictures);
    // Blocks not built keep the given palette's words, kept or not: nothing is lost that need not be.
    if (settings.palette) bank.palette = *settings.palette;

    std::vector<CellKeys> keys(cells.size());
    bool clear = false;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        keys[n] = cells.keys(n);
        clear = clear || std::find(keys[n].begin(), keys[n].end(), kTransparent) != keys[n].end();
    }
    const auto put = [&](std::size_t n, const CellIndices& indices, int block) {
        BankCell& cell = bank.pictures[std::size_t(cells.picture(n))].cells[std::size_t(cells.cell(n))];
        cell.indices = indices;
        cell.block = std::uint8_t(block);
        cell.empty = std::all_of(keys[n].begin(), keys[n].end(), [](Key k) { return k == kTransparent; });
    };

    // Cells that a kept block holds take the first such block.
    std::vector<BlockKeys> keptKeys;
    std::vector<int> keptNumber, freeNumber;
    for (int b = 0; b < data::kPaletteBlocks; ++b) {
        if (!settings.palette || !settings.kept[std::size_t(b)]) {
            freeNumber.push_back(b);
            continue;
        }
        BlockKeys& block = keptKeys.emplace_back();
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            block[std::size_t(i)] = keyOfWord(settings.palette->word(b * data::kColorsPerBlock + i));
        keptNumber.push_back(b);
    }
    std::vector<std::size_t> rest;
    for (std::size_t n = 0; n < cells.size(); ++n) {
        bool placed = false;
        for (std::size_t k = 0; k < keptKeys.size() && !placed; ++k) {
            CellIndices indices;
            placed = true;
            for (int i = 0; i < data::kCellPixels && placed; ++i) {
                const Key key = keys[n][std::size_t(i)];
                const int index = key == kTransparent ? 0 : keptIndex(keptKeys[k], key, clear);
                placed = index >= 0;
                indices[std::size_t(i)] = std::uint8_t(index);
            }
            if (placed) put(n, indices, keptNumber[k]);
        }
        if (!placed) rest.push_back(n);
    }
    if (rest.empty()) return bank;
    if (freeNumber.empty()) throw notInKeptBlocks(cells, rest.front(), keys[rest.front()], keptKeys);

    // The rest packed into the free blocks together.
    std::vector<CellKeys> restKeys;
    for (std::size_t n : rest) restKeys.push_back(keys[n]);
    PaletteLimits limits;
    limits.blocks = int(freeNumber.size());
    limits.time = settings.packingTimeLimit;
    const BuiltPalette built = buildPalette(restKeys, limits);
    if (!built.built()) throw notBuilt(cells, rest, built, limits.blocks, settings.packingTimeLimit);
    if (built.packing.searched) {
        bank.notes.push_back("the greedy packing needed more than " + blocksText(limits.blocks) +
                             "; a search found " + std::to_string(built.packing.blocks));
    }
    for (std::size_t b = 0; b < built.blocks.size(); ++b) {
        const std::vector<Key>& block = built.blocks[b];
        const int number = freeNumber[b];
        if (built.clear && block.front() != kTransparent) {
            bank.warnings.push_back("palette block " + std::to_string(number) + " needs all " +
                                    std::to_string(data::kColorsPerBlock) +
                                    " indices for opaque colours, so nrbx-export --transparent would also "
                                    "clear its colour at index 0");
        }
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            bank.palette.setWord(number * data::kColorsPerBlock + i,
                                 std::size_t(i) < block.size() ? wordOfKey(block[std::size_t(i)]) : 0);
    }
    // Each built cell in the lowest-numbered built block that holds all of its colours (often the one
    // it was packed into), so that the choice depends on the blocks alone and a run that keeps them
    // makes it again.
    std::vector<std::vector<Key>> sorted;
    for (const std::vector<Key>& block : built.blocks) {
        std::vector<Key>& keysOf = sorted.emplace_back(block);
        std::sort(keysOf.begin(), keysOf.end());
    }
    KeyTable table;
    for (std::size_t r = 0; r < rest.size(); ++r) {
        const std::vector<Key> colours = table.distinct(restKeys[r]);
        std::size_t b = 0;
        while (!std::includes(sorted[b].begin(), sorted[b].end(), colours.begin(), colours.end())) ++b;
        table.clear();
        for (std::size_t i = 0; i < built.blocks[b].size(); ++i)
            table.set(built.blocks[b][i], std::uint8_t(i));
        CellIndices indices;
        for (int i = 0; i < data::kCellPixels; ++i)
            indices[std::size_t(i)] = table[restKeys[r][std::size_t(i)]];
        put(rest[r], indices, freeNumber[b]);
    }
    return bank;
}

Bank reducedBank(std::span<const Picture> pictures, std::span<const std::string> names,
                 const BankSettings& settings) {
    ReduceSettings reduce = *settings.reduce;
    reduce.alphaThreshold = settings.alphaThreshold.value_or(kDefaultAlphaThreshold);
    for (int b = 0; settings.palette && b < data::kPaletteBlocks; ++b) {
        if (!settings.kept[std::size_t(b)]) continue;
        KeptBlock& kept = reduce.kept.emplace_back();
        kept.number = b;
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            kept.words[std::size_t(i)] = settings.palette->word(b * data::kColorsPerBlock + i);
    }
    const Reduction reduction = reduceColours(pictures, reduce);
    Bank bank = emptyBank(pictures);
    // As in the exact build, blocks the reduction does not write keep the given palette's words.
    if (settings.palette) bank.palette = *settings.palette;
    if (reduction.roundedAlpha > 0) {
        const std::string text = std::to_string(reduction.roundedAlpha) + " partly transparent pixel" +
                                 (reduction.roundedAlpha == 1 ? "" : "s") +
                                 " (alpha 1..254) taken as transparent below alpha " +
                                 std::to_string(reduce.alphaThreshold) + " and as opaque from it";
        (settings.alphaThreshold ? bank.notes : bank.warnings).push_back(text);
    }
    bank.notes.push_back(reduction.exact
                             ? std::string("the pictures fit the palette as they are; every colour is kept")
                             : "colours reduced to " + blocksText(reduction.blocksUsed) + " of at most " +
                                   std::to_string(reduce.colours) + " colours, dithering " +
                                   std::string(toString(reduce.dither)));
    for (int b = 0; b < reduction.blocksUsed; ++b)
        for (int i = 0; i < data::kColorsPerBlock; ++i)
            bank.palette.setWord(b * data::kColorsPerBlock + i,
                                 reduction.words[std::size_t(b)][std::size_t(i)]);
    const ImportSettings placeless;  // cells numbered within their picture
    for (std::size_t p = 0; p < pictures.size(); ++p) {
        const ReducedPicture& reduced = reduction.pictures[p];
        BankPicture& out = bank.pictures[p];
        const Cells cells(pictures[p], placeless, names[p], reduce.alphaThreshold);
        const std::size_t width = std::size_t(reduced.columns) * data::kCellSize;
        for (int py = 0; py < out.rows; ++py) {
            for (int px = 0; px < out.columns; ++px) {
                BankCell& cell = out.cells[std::size_t(py * out.columns + px)];
                cells.forEachPixel(px, py, [&](int i, std::size_t at) {
                    cell.indices[std::size_t(i)] =
                        reduced.indices[at / std::size_t(pictures[p].width) * width +
                                        at % std::size_t(pictures[p].width)];
                });
                cell.block = reduced.blockOfCell[std::size_t(py * out.columns + px)];
                const CellKeys keys = cells.keys(px, py);
                cell.empty = std::all_of(keys.begin(), keys.end(), [](Key k) { return k == kTransparent; });
            }
        }
        const std::vector<std::uint8_t> shown = shownColours(reduced, reduction.words);
        out.quality = measureQuality(pictures[p], reduced, shown, reduce.alphaThreshold);
    }
    return bank;
}

}  // namespace

Bank importBank(std::span<const Picture> pictures, std::span<const std::string> names,
                const BankSettings& settings) {
    for (std::size_t p = 0; p < pictures.size(); ++p) refuseUnevenSides(pictures[p], names[p]);
    return settings.reduce ? reducedBank(pictures, names, settings) : exactBank(pictures, names, settings);
}

}  // namespace nrbx::importing
