#include "import/colour_points.h"

#include <algorithm>

namespace nrbx::importing {

namespace {

using Float8 = float __attribute__((vector_size(32)));
using Int8 = std::int32_t __attribute__((vector_size(32)));

}  // namespace

// Eight points at a time against the slots in use only: a free slot, kFar away, is never the nearest
// while one is in use, and the least of the same distances is the same in any order, so the sum is the
// 16-wide loop's to the bit. Built twice where the machine may have AVX (no FMA, which would round
// differently), the faster picked when the program starts.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx", "default")))
#endif
float errorOf(const Points& points, const Colours& colours) {
    const int used = slotsInUse(colours);
    const std::size_t n = points.size();
    std::size_t i = 0;
    float sum = 0;
    if (used > 0) {
        for (; i + 8 <= n; i += 8) {
            Float8 L, a, b;
            __builtin_memcpy(&L, &points.L[i], sizeof L);
            __builtin_memcpy(&a, &points.a[i], sizeof a);
            __builtin_memcpy(&b, &points.b[i], sizeof b);
            Float8 least = Float8{} + kFar * kFar * 4;
            for (int k = 0; k < used; ++k) {
                const Float8 dl = colours.L[k] - L, da = colours.a[k] - a, db = colours.b[k] - b;
                const Float8 v = dl * dl + da * da + db * db;
                least = v < least ? v : least;
            }
            // Each product as the scalar one, added in the points' order.
            Float8 w;
            __builtin_memcpy(&w, &points.w[i], sizeof w);
            const Float8 product = w * least;
            for (int j = 0; j < 8; ++j) sum += product[j];
        }
    }
    for (; i < n; ++i) sum += points.w[i] * nearestDistance(colours, points.L[i], points.a[i], points.b[i]);
    return sum;
}

// As errorOf; with no slot in use, all 16 as nearest() takes them. A strict `<` from the first slot
// up keeps the first of equal distances, as nearest() does.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx", "default")))
#endif
void nearestOf(const Points& points, const Colours& colours, std::uint8_t* index, float* distance) {
    const int used = slotsInUse(colours);
    const int slots = used > 0 ? used : data::kColorsPerBlock;
    const std::size_t n = points.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        Float8 L, a, b;
        __builtin_memcpy(&L, &points.L[i], sizeof L);
        __builtin_memcpy(&a, &points.a[i], sizeof a);
        __builtin_memcpy(&b, &points.b[i], sizeof b);
        Float8 least = Float8{} + kFar * kFar * 4;
        Int8 which{};
        for (int k = 0; k < slots; ++k) {
            const Float8 dl = colours.L[k] - L, da = colours.a[k] - a, db = colours.b[k] - b;
            const Float8 v = dl * dl + da * da + db * db;
            const Int8 closer = v < least;
            least = closer ? v : least;
            which = closer ? Int8{} + k : which;
        }
        for (int j = 0; j < 8; ++j) index[i + j] = std::uint8_t(which[j]), distance[i + j] = least[j];
    }
    for (; i < n; ++i) {
        const Nearest near = nearest(colours, points.L[i], points.a[i], points.b[i]);
        index[i] = std::uint8_t(near.index), distance[i] = near.distance;
    }
}

// As nearestOf; with fewer than two slots in use, all 16 are taken, so the second is always the least
// of the other 15 as a loop over them gives it. A point's old nearest becomes its second when a closer
// one comes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx", "default")))
#endif
void nearestTwoOf(const Points& points, const Colours& colours, std::uint8_t* index, float* distance,
                  float* second) {
    const int used = slotsInUse(colours);
    const int slots = used >= 2 ? used : data::kColorsPerBlock;
    const std::size_t n = points.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        Float8 L, a, b;
        __builtin_memcpy(&L, &points.L[i], sizeof L);
        __builtin_memcpy(&a, &points.a[i], sizeof a);
        __builtin_memcpy(&b, &points.b[i], sizeof b);
        Float8 least = Float8{} + kFar * kFar * 4, next = least;
        Int8 which{};
        for (int k = 0; k < slots; ++k) {
            const Float8 dl = colours.L[k] - L, da = colours.a[k] - a, db = colours.b[k] - b;
            const Float8 v = dl * dl + da * da + db * db;
            const Int8 closer = v < least;
            next = closer ? least : (v < next ? v : next);
            least = closer ? v : least;
            which = closer ? Int8{} + k : which;
        }
        for (int j = 0; j < 8; ++j)
            index[i + j] = std::uint8_t(which[j]), distance[i + j] = least[j], second[i + j] = next[j];
    }
    for (; i < n; ++i) {
        float d[data::kColorsPerBlock];
        distances(colours, points.L[i], points.a[i], points.b[i], d);
        int first = 0;
        for (int k = 1; k < data::kColorsPerBlock; ++k)
            if (d[k] < d[first]) first = k;
        float other = kFar * kFar * 4;
        for (int k = 0; k < data::kColorsPerBlock; ++k)
            if (k != first) other = std::min(other, d[k]);
        index[i] = std::uint8_t(first), distance[i] = d[first], second[i] = other;
    }
}

}  // namespace nrbx::importing
