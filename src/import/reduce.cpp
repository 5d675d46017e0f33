#include "import/reduce.h"

#include <algorithm>
#include <numeric>

#include "data/cell_grid.h"
#include "import/blend_polish.h"
#include "import/cluster_search.h"
#include "import/color_key.h"
#include "import/palette_build.h"
#include "import/pixel_mapping.h"
#include "platform/random.h"

namespace nrbx::importing {

namespace {

using data::kCellSize;

// Every whole cell of every picture, in turn: f(picture, x0, y0).
template <class F>
void forEachCell(std::span<const Picture> pictures, F&& f) {
    for (std::size_t p = 0; p < pictures.size(); ++p)
        for (int y0 = 0; y0 + kCellSize <= pictures[p].height; y0 += kCellSize)
            for (int x0 = 0; x0 + kCellSize <= pictures[p].width; x0 += kCellSize) f(p, x0, y0);
}

Reduction emptyReduction(std::span<const Picture> pictures) {
    Reduction reduction;
    for (const Picture& picture : pictures) {
        ReducedPicture& out = reduction.pictures.emplace_back();
        out.columns = picture.width / kCellSize;
        out.rows = picture.height / kCellSize;
        out.indices.assign(std::size_t(out.columns) * std::size_t(out.rows) * data::kCellPixels, 0);
        out.blockOfCell.assign(std::size_t(out.columns) * std::size_t(out.rows), 0);
    }
    return reduction;
}

// Whether a component is a five-bit level widened by shifting (v * 8) or by bit replication
// (v * 8 + v / 4): the exact conversion's truncation gives such a colour's word back.
bool widened(std::uint8_t c) {
    const int v = c >> 3;
    return c == v * 8 || c == v * 8 + v / 4;
}

// The pictures as they are, when their cells' colours pack into the blocks exactly: the words they were
// widened from when every opaque colour is widened, else the nearest levels, which the output shows
// with the least error.
bool fitExactly(std::span<const Picture> pictures, const ReduceSettings& settings, Reduction& reduction) {
    bool allWidened = true;
    forEachCell(pictures, [&](std::size_t p, int x0, int y0) {
        for (int i = 0; i < data::kCellPixels && allWidened; ++i) {
            const std::uint8_t* rgba = pictures[p].pixel(x0 + i % kCellSize, y0 + i / kCellSize);
            allWidened = rgba[3] < settings.alphaThreshold ||
                         (widened(rgba[0]) && widened(rgba[1]) && widened(rgba[2]));
        }
    });
    std::vector<CellKeys> keys;
    forEachCell(pictures, [&](std::size_t p, int x0, int y0) {
        CellKeys& cell = keys.emplace_back();
        for (int i = 0; i < data::kCellPixels; ++i) {
            const std::uint8_t* rgba = pictures[p].pixel(x0 + i % kCellSize, y0 + i / kCellSize);
            cell[i] = allWidened || rgba[3] < settings.alphaThreshold
                          ? keyOf(rgba, settings.alphaThreshold)
                          : Key(gridKey(nearestLevel(rgba[0]), nearestLevel(rgba[1]), nearestLevel(rgba[2])));
        }
    });
    PaletteLimits limits;
    limits.blocks = settings.blocks;
    limits.colours = settings.colours;
    limits.time = settings.fitTimeLimit;
    const BuiltPalette built = buildPalette(keys, limits);
    if (!built.built()) return false;
    for (std::size_t b = 0; b < built.blocks.size(); ++b)
        for (std::size_t i = 0; i < built.blocks[b].size(); ++i)
            reduction.words[b][i] = wordOfKey(built.blocks[b][i]);
    reduction.blocksUsed = int(built.blocks.size());
    std::size_t c = 0;
    forEachCell(pictures, [&](std::size_t p, int x0, int y0) {
        ReducedPicture& out = reduction.pictures[p];
        const int width = out.columns * kCellSize;
        out.blockOfCell[std::size_t(y0 / kCellSize * out.columns + x0 / kCellSize)] =
            std::uint8_t(built.blockOfCell[c]);
        for (int i = 0; i < data::kCellPixels; ++i)
            out.indices[std::size_t(y0 + i / kCellSize) * width + x0 + i % kCellSize] = built.indices[c][i];
        ++c;
    });
    reduction.exact = true;
    return true;
}

}  // namespace

std::string_view toString(Dither dither) {
    switch (dither) {
        case Dither::None:
            return "none";
        case Dither::Ordered:
            return "ordered";
        case Dither::Diffusion:
            return "diffusion";
    }
    return "none";
}

Reduction reduceColours(std::span<const Picture> pictures, const ReduceSettings& settings) {
    Reduction reduction = emptyReduction(pictures);
    ReduceSettings s = settings;
    s.blocks = std::clamp(s.blocks, 1, data::kPaletteBlocks);
    s.colours = std::clamp(s.colours, 2, data::kColorsPerBlock);
    s.alphaThreshold = std::clamp(s.alphaThreshold, 0, 255);
    // A number out of range or given twice is the caller's mistake; such a block is left out.
    s.kept.clear();
    std::vector<bool> seen(data::kPaletteBlocks, false);
    for (const KeptBlock& block : settings.kept) {
        if (block.number < 0 || block.number >= data::kPaletteBlocks || seen[std::size_t(block.number)])
            continue;
        seen[std::size_t(block.number)] = true;
        s.kept.push_back(block);
    }
    for (const Picture& picture : pictures) {
        for (std::size_t i = 3; i < picture.rgba.size(); i += 4) {
            const int alpha = picture.rgba[i];
            reduction.roundedAlpha += alpha > 0 && alpha < 255;
        }
    }
    std::size_t cellCount = 0;
    forEachCell(pictures, [&](std::size_t, int, int) { ++cellCount; });
    if (cellCount == 0 || (s.kept.empty() && fitExactly(pictures, s, reduction))) return reduction;

    // The blend searches in sRGB.
    const ErrorSpace space = s.error == ErrorSpace::Blend ? ErrorSpace::Rgb : s.error;
    platform::SplitMix64 random(0x6E72627852656475ull ^ s.seed);
    std::vector<ClusterCell> cells;
    cells.reserve(cellCount);
    bool clear = false;  // any transparent pixel
    {
        std::vector<std::uint16_t> slots(kGridColours, 0);
        forEachCell(pictures, [&](std::size_t p, int x0, int y0) {
            cells.push_back(clusterCellOf(space, pictures[p], x0, y0, s.alphaThreshold, slots, random));
            for (int i = 0; i < data::kCellPixels && !clear; ++i)
                clear = pictures[p].pixel(x0 + i % kCellSize, y0 + i / kCellSize)[3] < s.alphaThreshold;
        });
    }
    // nrbx-export --transparent clears index 0 in every cell, so with any transparent pixel every block
    // keeps index 0 for transparency, not only the blocks of the cells that have them.
    const int first = clear ? 1 : 0;
    const auto& grid = gridPoints(space);
    ShownBlocks shown;
    std::vector<bool> taken(data::kPaletteBlocks, false);
    std::vector<Colours> kept;
    for (const KeptBlock& block : s.kept) {
        Colours& colours = kept.emplace_back();
        for (int i = first; i < data::kColorsPerBlock; ++i) {
            const GridKey key = keyOfWord(block.words[std::size_t(i)]);
            colours.set(colours.count++, grid[key], key);
            shown[std::size_t(block.number)].set(i, grid[key], key);
        }
        shown[std::size_t(block.number)].count = data::kColorsPerBlock;
        reduction.words[std::size_t(block.number)] = block.words;
        taken[std::size_t(block.number)] = true;
        reduction.blocksUsed = std::max(reduction.blocksUsed, block.number + 1);
    }
    const int freeBlocks = std::max(0, s.blocks - int(kept.size()));
    const Clusters clusters = searchClusters(space, cells, kept, freeBlocks, s.colours - first, random);

    // Kept blocks at their numbers, the others at the lowest numbers left in the order of their first
    // cell; each block's colours in ascending word order, after the transparent index 0 if there is one
    // (left far away in `shown`, so no opaque pixel takes it).
    std::vector<int> number(data::kPaletteBlocks, -1);
    for (std::size_t k = 0; k < s.kept.size(); ++k) number[k] = s.kept[k].number;
    int nextFree = 0;
    std::size_t c = 0;
    forEachCell(pictures, [&](std::size_t p, int x0, int y0) {
        const int block = clusters.blockOf[c++];
        if (number[block] < 0) {
            while (taken[std::size_t(nextFree)]) ++nextFree;
            const int n = nextFree;
            taken[std::size_t(n)] = true;
            number[block] = n;
            reduction.blocksUsed = std::max(reduction.blocksUsed, n + 1);
            const Colours& colours = clusters.colours[block];
            std::vector<int> order(std::size_t(colours.count));
            std::iota(order.begin(), order.end(), 0);
            std::sort(order.begin(), order.end(),
                      [&](int a, int b) { return colours.key[a] < colours.key[b]; });
            for (std::size_t i = 0; i < order.size(); ++i) {
                const int slot = first + int(i);
                reduction.words[n][slot] = gridWord(colours.key[order[i]]);
                shown[n].set(slot, colours.at(order[i]), colours.key[order[i]]);
            }
            shown[n].count = first + colours.count;
        }
        ReducedPicture& out = reduction.pictures[p];
        out.blockOfCell[std::size_t(y0 / kCellSize * out.columns + x0 / kCellSize)] =
            std::uint8_t(number[block]);
    });

    // The blend's finish serves the nearest colour; a dither spreads the error anyway, and the moved
    // colours made diffusion worse to the eye on smooth gradients.
    if (s.error == ErrorSpace::Blend && s.dither == Dither::None) {
        std::array<bool, data::kPaletteBlocks> fixed{};
        for (const KeptBlock& block : s.kept) fixed[std::size_t(block.number)] = true;
        polishBlended(pictures, reduction.pictures, s.alphaThreshold, first, fixed, shown);
        for (int n = 0; n < reduction.blocksUsed; ++n) {
            if (fixed[std::size_t(n)]) continue;
            const Colours& colours = shown[std::size_t(n)];
            for (int slot = first; slot < colours.count; ++slot)
                reduction.words[std::size_t(n)][std::size_t(slot)] = gridWord(colours.key[std::size_t(slot)]);
        }
        return reduction;
    }
    for (std::size_t p = 0; p < pictures.size(); ++p) {
        switch (s.dither) {
            case Dither::None:
                mapNearest(space, pictures[p], s.alphaThreshold, shown, reduction.pictures[p]);
                break;
            case Dither::Ordered:
                ditherOrdered(space, pictures[p], s.alphaThreshold, shown, reduction.pictures[p]);
                break;
            case Dither::Diffusion:
                ditherDiffusion(space, pictures[p], s.alphaThreshold, shown, reduction.pictures[p]);
                break;
        }
    }
    return reduction;
}

}  // namespace nrbx::importing
