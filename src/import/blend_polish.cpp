#include "import/blend_polish.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "import/error_space.h"

namespace nrbx::importing {

namespace {

// Rounds of taking each pixel's nearest colour and then moving the colours: the second still gains a
// little, a third nothing measurable.
constexpr int kRounds = 2;
// Steps one colour may take in a round (a step is one level of one component).
constexpr int kMaxSteps = 8;

// A distinct colour among the pixels that one block serves, and how many pixels have it.
struct Item {
    Lab rgb, ok;
    float weight = 0;
    int slot = 0;
};

class Blend {
  public:
    Blend() : m_rgb(gridPoints(ErrorSpace::Rgb)), m_ok(gridPoints(ErrorSpace::Oklab)) {}

    float error(const Item& item, GridKey key) const {
        return kBlendRgbWeight * distance2(item.rgb, m_rgb[key]) + std::sqrt(distance2(item.ok, m_ok[key]));
    }

    int nearestSlot(const Item& item, const Colours& block, int first) const {
        int best = first;
        float least = -1;
        for (int s = first; s < block.count; ++s) {
            if (block.L[std::size_t(s)] >= kFar) continue;
            const float e = error(item, block.key[std::size_t(s)]);
            if (least < 0 || e < least) best = s, least = e;
        }
        return best;
    }

    const Lab& rgb(GridKey key) const { return m_rgb[key]; }

  private:
    const std::vector<Lab>& m_rgb;
    const std::vector<Lab>& m_ok;
};

// A pixel sorted by block and colour: block in bits 56-59, colour (0xRRGGBB) in 32-55, picture in 16-31,
// the pixel's offset in its picture's whole cells in 0-15 (pictures have at most 256 x 256 pixels).
std::uint64_t codeOf(int block, const std::uint8_t* rgba, std::size_t picture, std::size_t offset) {
    const std::uint64_t colour = std::uint64_t(rgba[0]) << 16 | std::uint64_t(rgba[1]) << 8 | rgba[2];
    return std::uint64_t(block) << 56 | colour << 32 | std::uint64_t(picture) << 16 | offset;
}
int blockOfCode(std::uint64_t code) {
    return int(code >> 56);
}
std::uint32_t colourOfCode(std::uint64_t code) {
    return std::uint32_t(code >> 32 & 0xFFFFFF);
}

bool holds(const Colours& block, int first, GridKey key) {
    for (int s = first; s < block.count; ++s)
        if (block.L[std::size_t(s)] < kFar && block.key[std::size_t(s)] == key) return true;
    return false;
}

// The grid colours one level away from `key` in one component.
int neighbours(GridKey key, GridKey* out) {
    const int level[3] = {gridRed(key), gridGreen(key), gridBlue(key)};
    int n = 0;
    for (int c = 0; c < 3; ++c) {
        for (int step : {-1, 1}) {
            int moved[3] = {level[0], level[1], level[2]};
            moved[c] += step;
            if (moved[c] < 0 || moved[c] >= kGridLevels) continue;
            out[n++] = gridKey(moved[0], moved[1], moved[2]);
        }
    }
    return n;
}

// Moves each colour of one block while a step lowers the error of its pixels; true if any moved.
bool moveColours(const Blend& blend, std::vector<Item>& items, int first, Colours& block) {
    bool moved = false;
    std::vector<const Item*> members;
    for (int s = first; s < block.count; ++s) {
        if (block.L[std::size_t(s)] >= kFar) continue;
        members.clear();
        for (const Item& item : items)
            if (item.slot == s) members.push_back(&item);
        if (members.empty()) continue;
        const auto errorAt = [&](GridKey key) {
            float sum = 0;
            for (const Item* item : members) sum += item->weight * blend.error(*item, key);
            return sum;
        };
        GridKey key = block.key[std::size_t(s)];
        float least = errorAt(key);
        for (int step = 0; step < kMaxSteps; ++step) {
            GridKey next[6];
            const int n = neighbours(key, next);
            GridKey best = key;
            for (int i = 0; i < n; ++i) {
                if (holds(block, first, next[i])) continue;
                const float e = errorAt(next[i]);
                if (e < least) least = e, best = next[i];
            }
            if (best == key) break;
            key = best;
            moved = true;
        }
        block.set(s, blend.rgb(key), key);
    }
    return moved;
}

void sortColours(const Blend& blend, int first, Colours& block) {
    std::vector<GridKey> keys;
    for (int s = first; s < block.count; ++s)
        if (block.L[std::size_t(s)] < kFar) keys.push_back(block.key[std::size_t(s)]);
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 0; i < keys.size(); ++i) block.set(first + int(i), blend.rgb(keys[i]), keys[i]);
}

}  // namespace

void polishBlended(std::span<const Picture> pictures, std::span<ReducedPicture> reduced, int alphaThreshold,
                   int first, const std::array<bool, data::kPaletteBlocks>& fixed, ShownBlocks& blocks) {
    std::vector<std::uint64_t> codes;
    for (std::size_t p = 0; p < pictures.size(); ++p) {
        const ReducedPicture& out = reduced[p];
        const int width = out.columns * data::kCellSize, height = out.rows * data::kCellSize;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (transparentAt(pictures[p], x, y, alphaThreshold)) continue;
                codes.push_back(codeOf(out.blockOfCell[cellAt(out, x, y)], pictures[p].pixel(x, y), p,
                                       std::size_t(y) * std::size_t(width) + std::size_t(x)));
            }
        }
    }
    std::sort(codes.begin(), codes.end());

    const Blend blend;
    std::vector<Item> items;
    std::vector<std::size_t> startOf;  // each item's first code
    for (std::size_t begin = 0; begin < codes.size();) {
        const int n = blockOfCode(codes[begin]);
        std::size_t end = begin;
        while (end < codes.size() && blockOfCode(codes[end]) == n) ++end;
        items.clear(), startOf.clear();
        for (std::size_t i = begin; i < end; ++i) {
            const std::uint32_t colour = colourOfCode(codes[i]);
            if (i == begin || colour != colourOfCode(codes[i - 1])) {
                const auto r = std::uint8_t(colour >> 16), g = std::uint8_t(colour >> 8),
                           b = std::uint8_t(colour);
                items.push_back(
                    {pointOf(ErrorSpace::Rgb, r, g, b), pointOf(ErrorSpace::Oklab, r, g, b), 0.f, 0});
                startOf.push_back(i);
            }
            items.back().weight += 1;
        }
        startOf.push_back(end);
        Colours& block = blocks[std::size_t(n)];
        if (!fixed[std::size_t(n)]) {
            for (int round = 0; round < kRounds; ++round) {
                for (Item& item : items) item.slot = blend.nearestSlot(item, block, first);
                if (!moveColours(blend, items, first, block)) break;
            }
            sortColours(blend, first, block);
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto slot = std::uint8_t(blend.nearestSlot(items[i], block, first));
            for (std::size_t c = startOf[i]; c < startOf[i + 1]; ++c)
                reduced[std::size_t(codes[c] >> 16 & 0xFFFF)].indices[std::size_t(codes[c] & 0xFFFF)] = slot;
        }
        begin = end;
    }
}

}  // namespace nrbx::importing
