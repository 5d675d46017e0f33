#include "import/exact_fit.h"

#include <algorithm>
#include <iterator>

#include "data/cell_grid.h"
#include "import/color_key.h"
#include "import/packing.h"

namespace nrbx::importing {

std::optional<ReducedPicture> exactFit(const Picture& picture, const ReduceSettings& settings) {
    using data::kCellSize;
    ReducedPicture result;
    result.columns = picture.width / kCellSize;
    result.rows = picture.height / kCellSize;
    const int width = result.columns * kCellSize;
    const int count = result.columns * result.rows;
    std::vector<CellKeys> keys(static_cast<std::size_t>(count));
    std::vector<ColorSet> sets(static_cast<std::size_t>(count));
    KeyTable table;
    bool clear = false, full = false;
    for (int c = 0; c < count; ++c) {
        const int x0 = c % result.columns * kCellSize, y0 = c / result.columns * kCellSize;
        for (int i = 0; i < data::kCellPixels; ++i)
            keys[c][i] =
                keyOf(picture.pixel(x0 + i % kCellSize, y0 + i / kCellSize), settings.alphaThreshold);
        sets[c] = table.distinct(keys[c]);
        if (sets[c].size() > std::size_t(settings.colours)) return std::nullopt;
        const bool cellClear = sets[c].back() == kTransparent;
        clear = clear || cellClear;
        full = full || (!cellClear && sets[c].size() == std::size_t(settings.colours));
    }

    PackingLimits limits;
    limits.blocks = settings.blocks;
    limits.colors = settings.colours;
    limits.time = settings.fitTimeLimit / 2;
    std::optional<Packing> packing;
    if (clear && !full) {
        std::vector<ColorSet> withClear = sets;
        for (ColorSet& set : withClear)
            if (set.back() != kTransparent) set.push_back(kTransparent);
        packing = packColorSets(withClear, limits);
    }
    if (!packing || packing->outcome != Packing::Outcome::Packed) packing = packColorSets(sets, limits);
    if (packing->outcome != Packing::Outcome::Packed) return std::nullopt;

    // Blocks in the order of their first cell; transparency (sorted last) first, then ascending words.
    std::vector<int> number(std::size_t(packing->blocks), -1);
    std::vector<ColorSet> colours;
    for (int c = 0; c < count; ++c) {
        int& n = number[std::size_t(packing->blockOf[c])];
        if (n < 0) n = result.blocksUsed++, colours.emplace_back();
        ColorSet merged;
        std::set_union(colours[n].begin(), colours[n].end(), sets[c].begin(), sets[c].end(),
                       std::back_inserter(merged));
        colours[n] = std::move(merged);
        result.blockOfCell.push_back(std::uint8_t(n));
    }
    for (int n = 0; n < result.blocksUsed; ++n) {
        ColorSet& block = colours[n];
        if (block.back() == kTransparent) {
            block.pop_back();
            block.insert(block.begin(), kTransparent);
        } else if (clear && block.size() < std::size_t(settings.colours)) {
            block.insert(block.begin(), kTransparent);
        }
        for (std::size_t i = 0; i < block.size(); ++i) result.words[n][i] = wordOfKey(block[i]);
    }
    result.indices.assign(std::size_t(width) * std::size_t(result.rows * kCellSize), 0);
    for (int c = 0; c < count; ++c) {
        const ColorSet& block = colours[result.blockOfCell[c]];
        table.clear();
        for (std::size_t i = 0; i < block.size(); ++i) table.set(block[i], std::uint8_t(i));
        const int x0 = c % result.columns * kCellSize, y0 = c / result.columns * kCellSize;
        for (int i = 0; i < data::kCellPixels; ++i)
            result.indices[std::size_t(y0 + i / kCellSize) * width + x0 + i % kCellSize] = table[keys[c][i]];
    }
    result.exact = true;
    return result;
}

}  // namespace nrbx::importing
