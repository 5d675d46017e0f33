#pragma once
// Weighted colours in the error space (import/error_space.h), and blocks of up to 16 colours laid out
// for the 16-wide nearest-colour search, where the reduction spends most of its time.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/palette.h"
#include "import/oklab.h"

namespace nrbx::importing {

// An unused palette slot sits this far from every colour, so the 16-wide loops need no count.
constexpr float kFar = 1e4f;
// The key of a point that is no grid colour (a centre of a cell summary).
constexpr GridKey kOffGrid = 0xFFFF;

// Weighted colours: a cell's distinct grid colours with their pixel counts, or a summary of them.
struct Points {
    std::vector<float> L, a, b, w;
    std::vector<GridKey> key;  // the grid colour, or kOffGrid
    std::size_t size() const { return w.size(); }
    void clear() { L.clear(), a.clear(), b.clear(), w.clear(), key.clear(); }
    void add(const Lab& p, float weight, GridKey k) {
        L.push_back(p.L), a.push_back(p.a), b.push_back(p.b), w.push_back(weight), key.push_back(k);
    }
    Lab at(std::size_t i) const { return Lab{L[i], a[i], b[i]}; }
    void append(const Points& more) {
        for (std::size_t i = 0; i < more.size(); ++i) add(more.at(i), more.w[i], more.key[i]);
    }
};

// Up to 16 colours, laid out for the 16-wide distance loops.
struct Colours {
    int count = 0;
    std::array<float, data::kColorsPerBlock> L, a, b;
    std::array<GridKey, data::kColorsPerBlock> key{};
    Colours() { clear(); }
    void clear() {
        count = 0;
        L.fill(kFar), a.fill(kFar), b.fill(kFar);
    }
    void set(int i, const Lab& p, GridKey k) { L[i] = p.L, a[i] = p.a, b[i] = p.b, key[i] = k; }
    Lab at(int i) const { return Lab{L[i], a[i], b[i]}; }
    void truncate(int n) {
        for (int i = n; i < count; ++i) L[i] = a[i] = b[i] = kFar;
        count = std::min(count, n);
    }
};

struct Nearest {
    int index;
    float distance;
};

// Four lanes at once where the compiler has vector units (GCC and clang vector extensions), plain
// code where not; either way the same results.
using Float4 = float __attribute__((vector_size(16)));

inline Float4 load4(const float* p) {
    Float4 v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// The squared distances of (L, a, b) to the 16 colours, and the least of them.
inline float distances(const Colours& c, float L, float a, float b, float* d) {
    Float4 least = Float4{} + kFar * kFar * 4;
    for (int k = 0; k < data::kColorsPerBlock; k += 4) {
        const Float4 dl = load4(&c.L[k]) - L, da = load4(&c.a[k]) - a, db = load4(&c.b[k]) - b;
        const Float4 v = dl * dl + da * da + db * db;
        __builtin_memcpy(d + k, &v, sizeof v);
        least = v < least ? v : least;
    }
    return std::min(std::min(least[0], least[1]), std::min(least[2], least[3]));
}

inline Nearest nearest(const Colours& c, float L, float a, float b) {
    float d[data::kColorsPerBlock];
    const float least = distances(c, L, a, b, d);
    int k = 0;
    while (d[k] != least) ++k;
    return {k, least};
}

inline float nearestDistance(const Colours& c, float L, float a, float b) {
    float d[data::kColorsPerBlock];
    return distances(c, L, a, b, d);
}

// The slots up to the last one in use.
inline int slotsInUse(const Colours& c) {
    int used = data::kColorsPerBlock;
    while (used > 0 && c.L[used - 1] >= kFar) --used;
    return used;
}

// Sum over the points of weight times squared distance to the nearest colour (colour_points.cpp).
float errorOf(const Points& points, const Colours& colours);
// Each point's nearest colour and its squared distance, as nearest() gives them, into `index` and
// `distance` (points.size() each).
void nearestOf(const Points& points, const Colours& colours, std::uint8_t* index, float* distance);
// As nearestOf, and also each point's distance to the nearest of the other 15 slots.
void nearestTwoOf(const Points& points, const Colours& colours, std::uint8_t* index, float* distance,
                  float* second);

}  // namespace nrbx::importing
