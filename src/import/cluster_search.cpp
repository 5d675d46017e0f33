#include "import/cluster_search.h"

#include <algorithm>
#include <array>
#include <exception>
#include <thread>

#include "data/cell_grid.h"
#include "import/kmeans.h"
#include "import/weakest_colour.h"

namespace nrbx::importing {

namespace {

// Candidate cells tried for each new block; the one that lowers the error most is kept.
constexpr int kSplitCandidates = 4;
// Rounds of moving cells and refitting blocks: after each new block, after the last one, and with the
// cells' full colours at the end. Each stops early once no cell moves.
constexpr int kSplitRounds = 3;
constexpr int kSearchRounds = 12;
constexpr int kPolishRounds = 6;
// Tries at moving a block from where it is needed least to where the error is highest: on the cells'
// summaries, and again with their full colours once the search has converged.
constexpr int kShiftAttempts = 32;
constexpr int kFullShiftAttempts = 32;
// Rounds of the final stage (every block refitted to convergence, then cells moved), each kept only
// while it lowers the error.
constexpr int kFinalRounds = 4;
constexpr int kFinalIterations = 30;
// Tries at moving a block's least useful colour where its error is highest, each time the block is
// fitted to its cells' full colours; they stop at the first that does not lower the error.
constexpr int kColourMoves = 4;
// Independent starts, each on a thread of its own; the best is kept.
constexpr std::size_t kStarts = 2;

// The search state: a block per cell and the colours of each block, at one level of detail (the cells'
// summaries while blocks are being found, their full colours at the end).
class Clustering {
  public:
    // `capacity`: the opaque colours a block may have.
    Clustering(ErrorSpace space, const std::vector<ClusterCell>& cells, const std::vector<Colours>& kept,
               int freeBlocks, int capacity, platform::SplitMix64& random)
        : m_space(space),
          m_cells(cells),
          m_kept(kept),
          m_fixed(int(kept.size())),
          m_maxBlocks(int(kept.size()) + freeBlocks),
          m_capacity(capacity),
          m_random(random),
          m_blockOf(cells.size(), 0),
          m_error(cells.size() * data::kPaletteBlocks, 0) {}

    // From the cells' summaries to their full colours, the errors with them.
    void useFullColours() {
        m_full = true;
        for (int block = 0; block < m_blocks; ++block) updateErrors(block);
    }

    // Grows from the kept blocks, or one block, to all of them, each new one seeded by the cell that
    // lowers the error most.
    void split() {
        m_colours.assign(data::kPaletteBlocks, Colours());
        std::copy(m_kept.begin(), m_kept.end(), m_colours.begin());
        m_blocks = m_fixed;
        if (m_fixed == 0) {
            m_blocks = 1;
            refit(0, nullptr);
        }
        for (int block = 0; block < m_blocks; ++block) updateErrors(block);
        iterate(1);
        while (m_blocks < m_maxBlocks) {
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
                const Colours colours =
                    kMeans(m_space, points(candidate), m_capacity, nullptr, 6, true, m_random);
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
        for (int attempt = 0; attempt < attempts && m_blocks > 1 && m_blocks > m_fixed; ++attempt) {
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
            const int donor =
                int(std::min_element(removal.begin() + m_fixed, removal.end()) - removal.begin());
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
            m_colours[donor] = kMeans(m_space, points(target), m_capacity, nullptr, 6, true, m_random);
            updateErrors(donor);
            iterate(kSplitRounds);
            if (totalError() < before) continue;
            m_blockOf = blockOf, m_colours = colours, m_error = error;
        }
    }

    // A block no cell uses any more starts again from the cell reproduced worst.
    void refillEmpty() {
        for (int block = m_fixed; block < m_blocks; ++block) {
            if (std::find(m_blockOf.begin(), m_blockOf.end(), block) != m_blockOf.end()) continue;
            std::size_t worst = 0;
            for (std::size_t c = 1; c < m_cells.size(); ++c)
                if (errorAt(c, m_blockOf[c]) > errorAt(worst, m_blockOf[worst])) worst = c;
            if (errorAt(worst, m_blockOf[worst]) <= 0) return;
            m_colours[block] = kMeans(m_space, points(worst), m_capacity, nullptr, 6, true, m_random);
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
    void refitAll(int iterations) {
        for (int block = 0; block < m_blocks; ++block) {
            if (refit(block, &m_colours[block], iterations)) updateErrors(block);
        }
    }

    // Blocks refitted to convergence and cells moved, until the error stops falling; a round that
    // does not lower it is undone.
    void converge() {
        double before = totalError();
        for (int round = 0; round < kFinalRounds; ++round) {
            const std::vector<int> blockOf = m_blockOf;
            const std::vector<Colours> colours = m_colours;
            const std::vector<float> error = m_error;
            refitAll(kFinalIterations);
            iterate(kPolishRounds);
            const double after = totalError();
            if (after < before) {
                before = after;
                continue;
            }
            m_blockOf = blockOf, m_colours = colours, m_error = error;
            return;
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
    bool refit(int block, const Colours* start, int iterations = 0) {
        if (block < m_fixed) return false;
        Points& merged = m_merged;
        merged.clear();
        if (m_full) {
            if (m_weightOf.empty()) m_weightOf.assign(kGridColours, Merged{});
            std::vector<GridKey>& keys = m_keys;
            keys.clear();
            for (std::size_t c = 0; c < m_cells.size(); ++c) {
                if (m_blockOf[c] != block) continue;
                const Points& p = m_cells[c].colours;
                for (std::size_t i = 0; i < p.size(); ++i) {
                    Merged& m = m_weightOf[p.key[i]];
                    if (m.w == 0) keys.push_back(p.key[i]);
                    m.L += p.w[i] * p.L[i], m.a += p.w[i] * p.a[i], m.b += p.w[i] * p.b[i], m.w += p.w[i];
                }
            }
            std::sort(keys.begin(), keys.end());
            for (GridKey k : keys) {
                Merged& m = m_weightOf[k];
                merged.add(Lab{float(m.L / m.w), float(m.a / m.w), float(m.b / m.w)}, float(m.w), k);
                m = Merged{};
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
        const int steps = iterations > 0 ? iterations : m_full ? 10 : 4;
        Colours fitted = kMeans(m_space, merged, m_capacity, start ? &keep : nullptr, steps, true, m_random);
        if (m_full) moveWeakestColour(m_space, merged, m_capacity, kColourMoves, steps, fitted, m_random);
        const Colours& before = m_colours[block];
        const bool same = fitted.count == before.count && fitted.key == before.key && fitted.L == before.L;
        m_colours[block] = fitted;
        return !same;
    }

    const ErrorSpace m_space;
    const std::vector<ClusterCell>& m_cells;
    const std::vector<Colours>& m_kept;
    const int m_fixed;  // blocks 0..m_fixed-1 are kept as given
    const int m_maxBlocks;
    const int m_capacity;
    platform::SplitMix64& m_random;
    bool m_full = false;
    int m_blocks = 0;
    std::vector<int> m_blockOf;
    std::vector<Colours> m_colours;
    std::vector<float> m_error;  // cell * 16 + block: the error of the cell in that block
    // Per grid colour, the weighted sum of the cells' colours that round to it, while a block is refitted.
    struct Merged {
        double L = 0, a = 0, b = 0, w = 0;
    };
    std::vector<Merged> m_weightOf;
    // A refit's points and grid colours, kept so that their memory is reused.
    Points m_merged;
    std::vector<GridKey> m_keys;
};

}  // namespace

ClusterCell clusterCellOf(ErrorSpace space, const Picture& picture, int x0, int y0, int alphaThreshold,
                          std::vector<std::uint16_t>& slots, platform::SplitMix64& random) {
    ClusterCell cell;
    struct Group {
        GridKey key;
        double L = 0, a = 0, b = 0, w = 0;
    };
    std::vector<Group> groups;
    for (int y = y0; y < y0 + data::kCellSize; ++y) {
        for (int x = x0; x < x0 + data::kCellSize; ++x) {
            const std::uint8_t* p = picture.pixel(x, y);
            if (p[3] < alphaThreshold) continue;
            const GridKey k = gridKey(nearestLevel(p[0]), nearestLevel(p[1]), nearestLevel(p[2]));
            if (slots[k] == 0) groups.push_back(Group{k}), slots[k] = std::uint16_t(groups.size());
            Group& g = groups[slots[k] - 1u];
            const Lab point = pointOf(space, p[0], p[1], p[2]);
            g.L += point.L, g.a += point.a, g.b += point.b, ++g.w;
        }
    }
    std::sort(groups.begin(), groups.end(), [](const Group& p, const Group& q) { return p.key < q.key; });
    for (const Group& g : groups) {
        cell.colours.add(Lab{float(g.L / g.w), float(g.a / g.w), float(g.b / g.w)}, float(g.w), g.key);
        slots[g.key] = 0;
    }
    std::array<float, data::kColorsPerBlock> weights{};
    const Colours summary =
        kMeans(space, cell.colours, data::kColorsPerBlock, nullptr, 5, false, random, &weights);
    for (int k = 0; k < summary.count; ++k) cell.summary.add(summary.at(k), weights[k], summary.key[k]);
    return cell;
}

namespace {

struct Searched {
    Clusters clusters;
    double error = 0;
};

// One start of the search, from its own stream.
Searched searchOnce(ErrorSpace space, const std::vector<ClusterCell>& cells, const std::vector<Colours>& kept,
                    int freeBlocks, int capacity, std::uint64_t seed) {
    platform::SplitMix64 random(seed);
    Clustering clustering(space, cells, kept, freeBlocks, capacity, random);
    clustering.split();
    clustering.iterate(kSearchRounds);
    clustering.shift(kShiftAttempts);
    clustering.useFullColours();
    clustering.converge();
    clustering.refillEmpty();
    clustering.converge();
    clustering.shift(kFullShiftAttempts);
    clustering.converge();
    Searched searched;
    searched.error = clustering.totalError();
    Clusters& clusters = searched.clusters;
    clusters.blocks = clustering.blocks();
    for (std::size_t c = 0; c < cells.size(); ++c) clusters.blockOf.push_back(clustering.blockOf(c));
    for (int b = 0; b < clusters.blocks; ++b) clusters.colours.push_back(clustering.colours(b));
    return searched;
}

}  // namespace

Clusters searchClusters(ErrorSpace space, const std::vector<ClusterCell>& cells,
                        const std::vector<Colours>& kept, int freeBlocks, int capacity,
                        platform::SplitMix64& random) {
    // Each start's stream is drawn before any runs, so the result does not depend on which finishes
    // first; the lowest error wins, the earlier start on a tie.
    std::array<std::uint64_t, kStarts> seeds;
    for (std::uint64_t& seed : seeds) seed = random.next();
    std::array<Searched, kStarts> searched;
    // What a start on another thread threw (memory running out), thrown again here.
    std::array<std::exception_ptr, kStarts> thrown;
    {
        std::vector<std::jthread> others;  // joined when they go, also when this thread throws
        for (std::size_t s = 1; s < seeds.size(); ++s) {
            others.emplace_back([&, s] {
                try {
                    searched[s] = searchOnce(space, cells, kept, freeBlocks, capacity, seeds[s]);
                } catch (...) {
                    thrown[s] = std::current_exception();
                }
            });
        }
        searched[0] = searchOnce(space, cells, kept, freeBlocks, capacity, seeds[0]);
    }
    for (const std::exception_ptr& e : thrown)
        if (e) std::rethrow_exception(e);
    std::size_t best = 0;
    for (std::size_t s = 1; s < searched.size(); ++s)
        if (searched[s].error < searched[best].error) best = s;
    return std::move(searched[best].clusters);
}

}  // namespace nrbx::importing
