#include "import/palette_build.h"

#include <algorithm>
#include <iterator>

namespace nrbx::importing {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

BuiltPalette buildPalette(std::span<const CellKeys> cells, const PaletteLimits& limits) {
    const auto start = Clock::now();
    BuiltPalette built;
    const std::size_t count = cells.size();
    std::vector<ColorSet> sets(count);
    KeyTable table;
    bool full = false;  // any cell with as many opaque colours as a block holds
    for (std::size_t c = 0; c < count; ++c) {
        sets[c] = table.distinct(cells[c]);
        if (sets[c].size() > std::size_t(limits.colours)) {
            built.crowdedCell = int(c);
            return built;
        }
        const bool cellClear = sets[c].back() == kTransparent;
        built.clear = built.clear || cellClear;
        full = full || (!cellClear && sets[c].size() == std::size_t(limits.colours));
    }

    // Where the picture has transparent pixels, every block keeps index 0 for them if it can, so that
    // the round trip through nrbx-export --transparent gives the picture back: first tried with
    // transparency in every set, then without.
    PackingLimits packing;
    packing.blocks = limits.blocks;
    packing.colors = limits.colours;
    bool packed = false;
    if (built.clear && !full) {
        std::vector<ColorSet> withClear = sets;
        for (ColorSet& set : withClear)
            if (set.back() != kTransparent) set.push_back(kTransparent);
        packing.time = limits.time / 2;
        built.packing = packColorSets(withClear, packing);
        packed = built.packing.outcome == Packing::Outcome::Packed;
    }
    if (!packed) {
        packing.time = std::max(
            std::chrono::milliseconds(0),
            limits.time - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
        built.packing = packColorSets(sets, packing);
        if (built.packing.outcome != Packing::Outcome::Packed) return built;
    }

    // Blocks in the order of their first cell; transparency (sorted last) first, then ascending words.
    const std::vector<int>& blockOf = built.packing.blockOf;
    std::vector<int> number(std::size_t(built.packing.blocks), -1);
    for (std::size_t c = 0; c < count; ++c) {
        int& n = number[std::size_t(blockOf[c])];
        if (n < 0) n = int(built.blocks.size()), built.blocks.emplace_back();
        std::vector<Key>& block = built.blocks[std::size_t(n)];
        std::vector<Key> merged;
        std::set_union(block.begin(), block.end(), sets[c].begin(), sets[c].end(),
                       std::back_inserter(merged));
        block = std::move(merged);
        built.blockOfCell.push_back(n);
    }
    for (std::vector<Key>& block : built.blocks) {
        if (block.back() == kTransparent) {
            block.pop_back();
            block.insert(block.begin(), kTransparent);
        } else if (built.clear && block.size() < std::size_t(limits.colours)) {
            block.insert(block.begin(), kTransparent);
        }
    }
    built.indices.resize(count);
    for (std::size_t c = 0; c < count; ++c) {
        const std::vector<Key>& block = built.blocks[std::size_t(built.blockOfCell[c])];
        table.clear();
        for (std::size_t i = 0; i < block.size(); ++i) table.set(block[i], std::uint8_t(i));
        for (int i = 0; i < data::kCellPixels; ++i) built.indices[c][i] = table[cells[c][i]];
    }
    return built;
}

}  // namespace nrbx::importing
