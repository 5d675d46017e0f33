#include "import/reduce.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "data/cell_grid.h"
#include "import/exact_fit.h"
#include "import/oklab.h"

namespace nrbx::importing {

namespace {

using data::kCellSize;
// An unused palette slot sits this far from every colour, so the 16-wide loops need no count.
constexpr float kFar = 1e4f;
// The key of a point that is no grid colour (a centre of a cell summary).
constexpr GridKey kOffGrid = 0xFFFF;
// Candidate cells tried for each new block; the one that lowers the error most is kept.
constexpr int kSplitCandidates = 4;
// Rounds of moving cells and refitting blocks: after each new block, after the last one, and with the
// cells' full colours at the end. Each stops early once no cell moves.
constexpr int kSplitRounds = 3;
constexpr int kSearchRounds = 12;
constexpr int kPolishRounds = 6;
// Tries at moving a block from where it is needed least to where the error is highest.
constexpr int kShiftAttempts = 16;

// Splitmix64: a fixed sequence for a fixed seed, on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }

  private:
    std::uint64_t m_state;
};

// An index drawn with probability proportional to its weight (k-means++ seeding); `total` is their sum.
template <class Weights>
std::size_t drawByWeight(const Weights& weights, double total, Random& random) {
    double pick = random.uniform() * total;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        pick -= weights[i];
        if (pick < 0 && weights[i] > 0) return i;
    }
    for (std::size_t i = weights.size(); i-- > 0;)
        if (weights[i] > 0) return i;
    return 0;
}

// Weighted colours: a cell's distinct grid colours with their pixel counts, or a summary of them.
struct Points {
    std::vector<float> L, a, b, w;
    std::vector<GridKey> key;  // the grid colour, or kOffGrid
    std::size_t size() const { return w.size(); }
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

// Sum over the points of weight times squared distance to the nearest colour.
float errorOf(const Points& points, const Colours& colours) {
    float sum = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
        sum += points.w[i] * nearestDistance(colours, points.L[i], points.a[i], points.b[i]);
    return sum;
}

// Weighted k-means of `points` into at most `capacity` colours, starting from `start`'s colours and
// seeding the rest k-means++ style. With `snap` every centre moves to its nearest grid colour after each
// step, so the iterations optimise the colours the palette can hold; without it the centres are free
// (cell summaries) and carry the weight they stand for in `weights`.
Colours kMeans(const Points& points, int capacity, const Colours* start, int iterations, bool snap,
               Random& random, std::array<float, data::kColorsPerBlock>* weights = nullptr) {
    const auto& grid = gridLab();
    Colours centres;
    const std::size_t n = points.size();
    if (n <= std::size_t(capacity)) {
        // Few enough: every colour exactly.
        for (std::size_t i = 0; i < n; ++i) {
            const GridKey k =
                snap && points.key[i] == kOffGrid ? nearestGridColour(points.at(i)) : points.key[i];
            centres.set(int(i), snap ? grid[k] : points.at(i), k);
            if (weights) (*weights)[i] = points.w[i];
        }
        centres.count = int(n);
        return centres;
    }
    std::vector<float> nearestD(n, 0);
    const auto addCentre = [&](std::size_t i) {
        const GridKey k = snap && points.key[i] == kOffGrid ? nearestGridColour(points.at(i)) : points.key[i];
        centres.set(centres.count++, snap ? grid[k] : points.at(i), k);
    };
    const auto refreshDistances = [&](double& total) {
        total = 0;
        for (std::size_t i = 0; i < n; ++i) {
            nearestD[i] = points.w[i] * nearestDistance(centres, points.L[i], points.a[i], points.b[i]);
            total += nearestD[i];
        }
    };
    if (start) {
        for (int k = 0; k < start->count && centres.count < capacity; ++k)
            centres.set(centres.count++, start->at(k), start->key[k]);
    }
    if (centres.count == 0) {
        // The heaviest point first, so the seed matters only from the second centre on.
        addCentre(std::size_t(std::max_element(points.w.begin(), points.w.end()) - points.w.begin()));
    }
    double total = 0;
    while (centres.count < capacity) {
        refreshDistances(total);
        if (total <= 0) break;
        addCentre(drawByWeight(nearestD, total, random));
    }

    std::vector<std::uint8_t> owner(n, 0xFF);
    std::array<double, data::kColorsPerBlock> sumL, sumA, sumB, sumW;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        sumL.fill(0), sumA.fill(0), sumB.fill(0), sumW.fill(0);
        bool moved = false;
        for (std::size_t i = 0; i < n; ++i) {
            const Nearest near = nearest(centres, points.L[i], points.a[i], points.b[i]);
            moved |= owner[i] != near.index;
            owner[i] = std::uint8_t(near.index);
            nearestD[i] = points.w[i] * near.distance;
            const float w = points.w[i];
            sumL[near.index] += w * points.L[i], sumA[near.index] += w * points.a[i];
            sumB[near.index] += w * points.b[i], sumW[near.index] += w;
        }
        if (!moved && iteration > 0) break;
        Colours next;
        next.count = centres.count;
        for (int k = 0; k < centres.count; ++k) {
            if (sumW[k] <= 0) continue;
            const Lab mean{float(sumL[k] / sumW[k]), float(sumA[k] / sumW[k]), float(sumB[k] / sumW[k])};
            if (!snap) {
                next.set(k, mean, kOffGrid);
                continue;
            }
            const GridKey key = nearestGridColour(mean);
            bool taken = false;
            for (int j = 0; j < k; ++j) taken |= next.L[j] < kFar && next.key[j] == key;
            if (taken) continue;  // two centres on one grid colour: the second starts afresh below
            next.set(k, grid[key], key);
        }
        // An empty centre takes the point that is reproduced worst.
        for (int k = 0; k < centres.count; ++k) {
            if (next.L[k] < kFar) continue;
            std::size_t worst =
                std::size_t(std::max_element(nearestD.begin(), nearestD.end()) - nearestD.begin());
            if (nearestD[worst] <= 0) {
                // Nothing left to gain: drop the slot.
                next.L[k] = next.a[k] = next.b[k] = kFar;
                continue;
            }
            const GridKey key = snap && points.key[worst] == kOffGrid ? nearestGridColour(points.at(worst))
                                                                      : points.key[worst];
            next.set(k, snap ? grid[key] : points.at(worst), key);
            nearestD[worst] = 0;
        }
        centres = next;
    }
    // Pack the slots left in use to the front.
    Colours packed;
    std::array<float, data::kColorsPerBlock> packedWeights{};
    std::array<double, data::kColorsPerBlock> used{};
    for (std::size_t i = 0; i < n; ++i)
        used[nearest(centres, points.L[i], points.a[i], points.b[i]).index] += points.w[i];
    for (int k = 0; k < centres.count; ++k) {
        if (centres.L[k] >= kFar || used[k] <= 0) continue;
        packedWeights[packed.count] = float(used[k]);
        packed.set(packed.count++, centres.at(k), centres.key[k]);
    }
    if (weights) *weights = packedWeights;
    return packed;
}

struct Cell {
    Points colours;  // distinct grid colours of its opaque pixels, with their counts
    Points summary;  // at most 16 points standing for them, for the search over blocks
};

// The search state: a block per cell and the colours of each block, at one level of detail (the cells'
// summaries while blocks are being found, their full colours at the end).
class Clustering {
  public:
    // `capacity`: the opaque colours a block may have.
    Clustering(const std::vector<Cell>& cells, const ReduceSettings& settings, int capacity, Random& random)
        : m_cells(cells),
          m_settings(settings),
          m_capacity(capacity),
          m_random(random),
          m_blockOf(cells.size(), 0),
          m_error(cells.size() * data::kPaletteBlocks, 0) {}

    // From the cells' summaries to their full colours, the errors with them.
    void useFullColours() {
        m_full = true;
        for (int block = 0; block < m_blocks; ++block) updateErrors(block);
    }

    // Grows from one block to `blocks`, each new one seeded by the cell that lowers the error most.
    void split() {
        m_blocks = 1;
        m_colours.assign(data::kPaletteBlocks, Colours());
        refit(0, nullptr);
        updateErrors(0);
        while (m_blocks < m_settings.blocks) {
            std::vector<float> own(m_cells.size());
            double total = 0;
            for (std::size_t c = 0; c < m_cells.size(); ++c) total += own[c] = errorAt(c, m_blockOf[c]);
            if (total <= 0) break;
            std::vector<std::size_t> candidates{
                std::size_t(std::max_element(own.begin(), own.end()) - own.begin())};
            for (int k = 1; k < kSplitCandidates; ++k) {
                candidates.push_back(drawByWeight(own, total, m_random));
            }
            double bestGain = -1;
            Colours best;
            for (std::size_t candidate : candidates) {
                const Colours colours = kMeans(points(candidate), m_capacity, nullptr, 6, true, m_random);
                double gain = 0;
                for (std::size_t c = 0; c < m_cells.size(); ++c)
                    gain += std::max(0.f, own[c] - errorOf(points(c), colours));
                if (gain > bestGain) bestGain = gain, best = colours;
            }
            const int block = m_blocks++;
            m_colours[block] = best;
            updateErrors(block);
            iterate(kSplitRounds);
        }
    }

    // Enhanced LBG (Patanè and Russo, 2001): the block whose cells other blocks would take at the least
    // cost moves to where the error is highest, seeded by a cell there; kept when the error falls.
    void shift(int attempts) {
        for (int attempt = 0; attempt < attempts && m_blocks > 1; ++attempt) {
            const double before = totalError();
            if (before <= 0) return;
            std::vector<double> removal(std::size_t(m_blocks), 0);
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                const int own = m_blockOf[c];
                float second = -1;
                for (int b = 0; b < m_blocks; ++b)
                    if (b != own && (second < 0 || errorAt(c, b) < second)) second = errorAt(c, b);
                removal[own] += second - errorAt(c, own);
            }
            const int donor = int(std::min_element(removal.begin(), removal.end()) - removal.begin());
            double total = 0;
            std::vector<float> own(m_cells.size());
            for (std::size_t c = 0; c < m_cells.size(); ++c)
                total += own[c] = m_blockOf[c] == donor ? 0 : errorAt(c, m_blockOf[c]);
            if (total <= 0) return;
            const std::size_t target = drawByWeight(own, total, m_random);
            const std::vector<int> blockOf = m_blockOf;
            const std::vector<Colours> colours = m_colours;
            const std::vector<float> error = m_error;
            // The donor's cells go to their next best block first, so the donor starts from the target.
            std::vector<bool> grown(std::size_t(m_blocks), false);
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                if (m_blockOf[c] != donor) continue;
                int next = donor == 0 ? 1 : 0;
                for (int b = 0; b < m_blocks; ++b)
                    if (b != donor && errorAt(c, b) < errorAt(c, next)) next = b;
                m_blockOf[c] = next;
                grown[std::size_t(next)] = true;
            }
            for (int b = 0; b < m_blocks; ++b) {
                if (!grown[std::size_t(b)]) continue;
                if (refit(b, &m_colours[b])) updateErrors(b);
            }
            m_colours[donor] = kMeans(points(target), m_capacity, nullptr, 6, true, m_random);
            updateErrors(donor);
            iterate(kSplitRounds);
            if (totalError() < before) continue;
            m_blockOf = blockOf, m_colours = colours, m_error = error;
        }
    }

    // A block no cell uses any more starts again from the cell reproduced worst.
    void refillEmpty() {
        for (int block = 0; block < m_blocks; ++block) {
            if (std::find(m_blockOf.begin(), m_blockOf.end(), block) != m_blockOf.end()) continue;
            std::size_t worst = 0;
            for (std::size_t c = 1; c < m_cells.size(); ++c)
                if (errorAt(c, m_blockOf[c]) > errorAt(worst, m_blockOf[worst])) worst = c;
            if (errorAt(worst, m_blockOf[worst]) <= 0) return;
            m_colours[block] = kMeans(points(worst), m_capacity, nullptr, 6, true, m_random);
            updateErrors(block);
            iterate(kSplitRounds);
        }
    }

    // Cells to their best block and blocks refitted, until no cell moves or `rounds` pass.
    void iterate(int rounds) {
        for (int round = 0; round < rounds; ++round) {
            std::vector<bool> changed(data::kPaletteBlocks, false);
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                const int to = bestBlock(c);
                if (to == m_blockOf[c]) continue;
                changed[m_blockOf[c]] = changed[to] = true;
                m_blockOf[c] = to;
            }
            if (std::none_of(changed.begin(), changed.end(), [](bool b) { return b; })) return;
            for (int block = 0; block < m_blocks; ++block) {
                if (!changed[block]) continue;
                if (refit(block, &m_colours[block])) updateErrors(block);
            }
        }
    }

    // Every block's colours again from its cells, starting from the present ones.
    void refitAll() {
        for (int block = 0; block < m_blocks; ++block) {
            if (refit(block, &m_colours[block])) updateErrors(block);
        }
    }

    double totalError() const {
        double total = 0;
        for (std::size_t c = 0; c < m_cells.size(); ++c) total += errorAt(c, m_blockOf[c]);
        return total;
    }

    int blocks() const { return m_blocks; }
    int blockOf(std::size_t cell) const { return m_blockOf[cell]; }
    const Colours& colours(int block) const { return m_colours[block]; }

  private:
    const Points& points(std::size_t cell) const {
        return m_full ? m_cells[cell].colours : m_cells[cell].summary;
    }
    float errorAt(std::size_t cell, int block) const {
        return m_error[cell * data::kPaletteBlocks + std::size_t(block)];
    }

    int bestBlock(std::size_t cell) const {
        int best = m_blockOf[cell];
        float bestError = errorAt(cell, best);
        for (int block = 0; block < m_blocks; ++block) {
            const float e = errorAt(cell, block);
            if (e < bestError) best = block, bestError = e;
        }
        return best;
    }

    void updateErrors(int block) {
        for (std::size_t c = 0; c < m_cells.size(); ++c)
            m_error[c * data::kPaletteBlocks + std::size_t(block)] = errorOf(points(c), m_colours[block]);
    }

    // The block's colours from the pixels of its cells: equal grid colours merged when the points
    // are full colours, so a block whose cells need few enough colours gets them exactly.
    // Whether the colours changed.
    bool refit(int block, const Colours* start) {
        Points merged;
        if (m_full) {
            if (m_weightOf.empty()) m_weightOf.assign(kGridColours, 0);
            std::vector<GridKey> keys;
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                if (m_blockOf[c] != block) continue;
                const Points& p = m_cells[c].colours;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    if (m_weightOf[p.key[i]] == 0) keys.push_back(p.key[i]);
                    m_weightOf[p.key[i]] += p.w[i];
                }
            }
            std::sort(keys.begin(), keys.end());
            const auto& grid = gridLab();
            for (GridKey k : keys) {
                merged.add(grid[k], m_weightOf[k], k);
                m_weightOf[k] = 0;
            }
        } else {
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                if (m_blockOf[c] != block) continue;
                merged.append(m_cells[c].summary);
            }
        }
        if (merged.size() == 0) {
            m_colours[block].clear();
            return true;
        }
        Colours keep;
        if (start) {
            keep = *start;
            keep.truncate(m_capacity);
        }
        const Colours fitted =
            kMeans(merged, m_capacity, start ? &keep : nullptr, m_full ? 10 : 4, true, m_random);
        const Colours& before = m_colours[block];
        const bool same = fitted.count == before.count && fitted.key == before.key && fitted.L == before.L;
        m_colours[block] = fitted;
        return !same;
    }

    const std::vector<Cell>& m_cells;
    const ReduceSettings& m_settings;
    const int m_capacity;
    Random& m_random;
    bool m_full = false;
    int m_blocks = 0;
    std::vector<int> m_blockOf;
    std::vector<Colours> m_colours;
    std::vector<float> m_error;  // cell * 16 + block: the error of the cell in that block
    std::vector<float> m_weightOf;
};

bool isTransparent(const std::uint8_t* rgba, int threshold) {
    return rgba[3] < threshold;
}

// The 8 x 8 Bayer matrix, 0..63.
int bayer(int x, int y) {
    int v = 0;
    for (int bit = 2; bit >= 0; --bit) {
        const int xb = x >> (2 - bit) & 1, yb = y >> (2 - bit) & 1;
        v |= ((xb ^ yb) << 1 | yb) << (2 * bit);
    }
    return v;
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

ReducedPicture reduceColours(const Picture& picture, const ReduceSettings& settings) {
    ReducedPicture result;
    result.columns = picture.width / kCellSize;
    result.rows = picture.height / kCellSize;
    const int width = result.columns * kCellSize;
    const int height = result.rows * kCellSize;
    const std::size_t cellCount = std::size_t(result.columns) * std::size_t(result.rows);
    result.indices.assign(std::size_t(width) * std::size_t(height), 0);
    result.blockOfCell.assign(cellCount, 0);
    if (cellCount == 0) return result;
    ReduceSettings s = settings;
    s.blocks = std::clamp(s.blocks, 1, data::kPaletteBlocks);
    s.colours = std::clamp(s.colours, 2, data::kColorsPerBlock);
    s.alphaThreshold = std::clamp(s.alphaThreshold, 0, 255);
    long partly = 0;
    for (std::size_t i = 0; i < picture.rgba.size() / 4; ++i) {
        const int alpha = picture.rgba[i * 4 + 3];
        partly += alpha > 0 && alpha < 255;
    }
    if (auto exact = exactFit(picture, s)) {
        exact->roundedAlpha = partly;
        return *exact;
    }
    result.roundedAlpha = partly;

    const auto& grid = gridLab();
    const auto keyAt = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x, y);
        return gridKey(nearestLevel(p[0]), nearestLevel(p[1]), nearestLevel(p[2]));
    };

    Random random(0x6E72627852656475ull ^ s.seed);
    std::vector<Cell> cells(cellCount);
    bool clear = false;  // any transparent pixel
    {
        std::vector<float> count(kGridColours, 0);
        std::vector<GridKey> keys;
        for (std::size_t c = 0; c < cellCount; ++c) {
            const int x0 = int(c % std::size_t(result.columns)) * kCellSize;
            const int y0 = int(c / std::size_t(result.columns)) * kCellSize;
            keys.clear();
            for (int y = y0; y < y0 + kCellSize; ++y) {
                for (int x = x0; x < x0 + kCellSize; ++x) {
                    if (isTransparent(picture.pixel(x, y), s.alphaThreshold)) {
                        clear = true;
                        continue;
                    }
                    const GridKey k = keyAt(x, y);
                    if (count[k] == 0) keys.push_back(k);
                    ++count[k];
                }
            }
            std::sort(keys.begin(), keys.end());
            for (GridKey k : keys) {
                cells[c].colours.add(grid[k], count[k], k);
                count[k] = 0;
            }
            std::array<float, data::kColorsPerBlock> weights{};
            const Colours summary =
                kMeans(cells[c].colours, data::kColorsPerBlock, nullptr, 5, false, random, &weights);
            for (int k = 0; k < summary.count; ++k)
                cells[c].summary.add(summary.at(k), weights[k], summary.key[k]);
        }
    }

    // nrbx-export --transparent clears index 0 in every cell, so with any transparent pixel every block
    // keeps index 0 for transparency, not only the blocks of the cells that have them.
    Clustering clustering(cells, s, s.colours - (clear ? 1 : 0), random);
    clustering.split();
    clustering.iterate(kSearchRounds);
    clustering.shift(kShiftAttempts);
    clustering.useFullColours();
    clustering.refitAll();
    clustering.iterate(kPolishRounds);
    clustering.refillEmpty();
    // The colours fitted last are fitted to the final cells.
    clustering.refitAll();

    // Blocks in the order of their first cell; each block's colours in ascending word order, after the
    // transparent index 0 if there is one (left far away in `shown`, so no opaque pixel takes it).
    std::vector<int> number(data::kPaletteBlocks, -1);
    std::array<Colours, data::kPaletteBlocks> shown;
    for (std::size_t c = 0; c < cellCount; ++c) {
        const int block = clustering.blockOf(c);
        if (number[block] < 0) {
            const int n = result.blocksUsed++;
            number[block] = n;
            const Colours& colours = clustering.colours(block);
            std::vector<int> order(std::size_t(colours.count));
            std::iota(order.begin(), order.end(), 0);
            std::sort(order.begin(), order.end(),
                      [&](int p, int q) { return colours.key[p] < colours.key[q]; });
            const int first = clear ? 1 : 0;
            for (std::size_t i = 0; i < order.size(); ++i) {
                const int slot = first + int(i);
                result.words[n][slot] = gridWord(colours.key[order[i]]);
                shown[n].set(slot, colours.at(order[i]), colours.key[order[i]]);
            }
            shown[n].count = first + colours.count;
        }
        result.blockOfCell[c] = std::uint8_t(number[block]);
    }

    const auto cellAt = [&](int x, int y) {
        return std::size_t(y / kCellSize) * std::size_t(result.columns) + std::size_t(x / kCellSize);
    };
    const auto transparentAt = [&](int x, int y) {
        return isTransparent(picture.pixel(x, y), s.alphaThreshold);
    };
    const auto sourceLab = [&](int x, int y) {
        const std::uint8_t* p = picture.pixel(x, y);
        return labFromRgb(p[0], p[1], p[2]);
    };

    switch (s.dither) {
        case Dither::None:
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (transparentAt(x, y)) continue;
                    const Lab p = grid[keyAt(x, y)];
                    result.indices[std::size_t(y) * width + x] =
                        std::uint8_t(nearest(shown[result.blockOfCell[cellAt(x, y)]], p.L, p.a, p.b).index);
                }
            }
            break;
        case Dither::Ordered: {
            // Knoll's pattern dithering: a list of colours whose mean approaches the pixel's, ordered by
            // lightness, one of them picked by the Bayer threshold.
            constexpr int kCandidates = 16;
            constexpr float kErrorFactor = 0.75f;
            // A candidate much farther from the pixel than its nearest colour shows as a stray dot where
            // the block has no colour near it; the nearest colour stands in for it.
            constexpr float kReach = 8;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    if (transparentAt(x, y)) continue;
                    const Colours& block = shown[result.blockOfCell[cellAt(x, y)]];
                    const Lab goal = sourceLab(x, y);
                    Lab error{};
                    std::array<int, kCandidates> candidates;
                    const Nearest closest = nearest(block, goal.L, goal.a, goal.b);
                    const float reach = closest.distance * kReach + 1e-4f;
                    for (int i = 0; i < kCandidates; ++i) {
                        int k = nearest(block, goal.L + error.L * kErrorFactor,
                                        goal.a + error.a * kErrorFactor, goal.b + error.b * kErrorFactor)
                                    .index;
                        if (distance2(block.at(k), goal) > reach) k = closest.index;
                        candidates[i] = k;
                        error.L += goal.L - block.L[k], error.a += goal.a - block.a[k];
                        error.b += goal.b - block.b[k];
                    }
                    std::sort(candidates.begin(), candidates.end(), [&](int p, int q) {
                        return block.L[p] < block.L[q] || (block.L[p] == block.L[q] && p < q);
                    });
                    result.indices[std::size_t(y) * width + x] =
                        std::uint8_t(candidates[bayer(x, y) * kCandidates / 64]);
                }
            }
            break;
        }
        case Dither::Diffusion: {
            // Floyd and Steinberg, serpentine, in OKLab, over the whole picture with every cell's block
            // fixed; the error is damped a little so that it does not pile up where a block lacks a hue.
            constexpr float kDamping = 0.875f;
            std::vector<Lab> carry(std::size_t(width + 2) * 2);
            for (int y = 0; y < height; ++y) {
                Lab* now = carry.data() + std::size_t(y % 2) * (width + 2) + 1;
                Lab* below = carry.data() + std::size_t((y + 1) % 2) * (width + 2) + 1;
                std::fill(below - 1, below + width + 1, Lab{});
                const bool leftward = y % 2 == 1;
                for (int i = 0; i < width; ++i) {
                    const int x = leftward ? width - 1 - i : i;
                    const int ahead = leftward ? -1 : 1;
                    if (transparentAt(x, y)) continue;
                    const Colours& block = shown[result.blockOfCell[cellAt(x, y)]];
                    const Lab source = sourceLab(x, y);
                    const Lab want{source.L + now[x].L, source.a + now[x].a, source.b + now[x].b};
                    const int k = nearest(block, want.L, want.a, want.b).index;
                    result.indices[std::size_t(y) * width + x] = std::uint8_t(k);
                    const Lab e{(want.L - block.L[k]) * kDamping, (want.a - block.a[k]) * kDamping,
                                (want.b - block.b[k]) * kDamping};
                    const auto spread = [](Lab& to, const Lab& e, float f) {
                        to.L += e.L * f, to.a += e.a * f, to.b += e.b * f;
                    };
                    spread(now[x + ahead], e, 7.f / 16);
                    spread(below[x - ahead], e, 3.f / 16);
                    spread(below[x], e, 5.f / 16);
                    spread(below[x + ahead], e, 1.f / 16);
                }
            }
            break;
        }
    }
    return result;
}

}  // namespace nrbx::importing
