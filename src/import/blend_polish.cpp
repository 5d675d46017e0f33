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

// A grid colour in both spaces.
struct Shown {
    Lab rgb, ok;
};

class Blend {
  public:
    Blend() : m_rgb(gridPoints(ErrorSpace::Rgb)), m_ok(kGridColours), m_known(kGridColours, false) {}

    // A grid colour's points; its OKLab point is computed on first use, as a polish needs a few hundred
    // of the 32768.
    Shown shown(GridKey key) {
        if (!m_known[key]) {
            m_ok[key] =
                labFromRgb(std::uint8_t(gridRed(key) * kGridStep), std::uint8_t(gridGreen(key) * kGridStep),
                           std::uint8_t(gridBlue(key) * kGridStep));
            m_known[key] = true;
        }
        return {m_rgb[key], m_ok[key]};
    }

    static float error(const Item& item, const Shown& colour) {
        return kBlendRgbWeight * distance2(item.rgb, colour.rgb) + std::sqrt(distance2(item.ok, colour.ok));
    }

  private:
    const std::vector<Lab>& m_rgb;
    std::vector<Lab> m_ok;
    std::vector<bool> m_known;
};

// A block's colours in use, from index `first` on, in both spaces.
class Slots {
  public:
    Slots(Blend& blend, const Colours& block, int first) {
        for (int s = first; s < block.count; ++s) {
            if (block.L[std::size_t(s)] >= kFar) continue;
            m_index[m_count] = s;
            m_shown[m_count++] = blend.shown(block.key[std::size_t(s)]);
        }
    }
    // The index of the colour nearest `item`, the first of equals.
    int nearest(const Item& item) const {
        int best = 0;
        float least = -1;
        for (int i = 0; i < m_count; ++i) {
            const float e = Blend::error(item, m_shown[i]);
            if (least < 0 || e < least) best = i, least = e;
        }
        return m_index[best];
    }

  private:
    int m_count = 0;
    std::array<int, data::kColorsPerBlock> m_index{};
    std::array<Shown, data::kColorsPerBlock> m_shown{};
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
bool moveColours(Blend& blend, std::vector<Item>& items, int first, Colours& block) {
    bool moved = false;
    std::vector<const Item*> members;
    for (int s = first; s < block.count; ++s) {
        if (block.L[std::size_t(s)] >= kFar) continue;
        members.clear();
        for (const Item& item : items)
            if (item.slot == s) members.push_back(&item);
        if (members.empty()) continue;
        const auto errorAt = [&](GridKey key) {
            const Shown colour = blend.shown(key);
            float sum = 0;
            for (const Item* item : members) sum += item->weight * Blend::error(*item, colour);
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
        block.set(s, blend.shown(key).rgb, key);
    }
    return moved;
}

void sortColours(Blend& blend, int first, Colours& block) {
    std::vector<GridKey> keys;
    for (int s = first; s < block.count; ++s)
        if (block.L[std::size_t(s)] < kFar) keys.push_back(block.key[std::size_t(s)]);
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 0; i < keys.size(); ++i)
        block.set(first + int(i), blend.shown(keys[i]).rgb, keys[i]);
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

    Blend blend;
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
                items.push_back({pointOf(ErrorSpace::Rgb, r, g, b), labFromRgb(r, g, b), 0.f, 0});
                startOf.push_back(i);
            }
            items.back().weight += 1;
        }
        startOf.push_back(end);
        Colours& block = blocks[std::size_t(n)];
        if (!fixed[std::size_t(n)]) {
            for (int round = 0; round < kRounds; ++round) {
                const Slots slots(blend, block, first);
                for (Item& item : items) item.slot = slots.nearest(item);
                if (!moveColours(blend, items, first, block)) break;
            }
            sortColours(blend, first, block);
        }
        const Slots slots(blend, block, first);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto slot = std::uint8_t(slots.nearest(items[i]));
            for (std::size_t c = startOf[i]; c < startOf[i + 1]; ++c)
                reduced[std::size_t(codes[c] >> 16 & 0xFFFF)].indices[std::size_t(codes[c] & 0xFFFF)] = slot;
        }
        begin = end;
    }
}

}  // namespace nrbx::importing
