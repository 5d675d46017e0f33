#include "import/block_cover.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace nrbx::importing {

namespace {

using Clock = std::chrono::steady_clock;

// Every few moves that found nothing better, the weights all sink by one, so old conflicts fade.
constexpr int kWeightDecayEvery = 5;
// One in this many moves that found nothing better covers the set whole in another block instead: the
// way out when two sets keep taking the one block both are nearest to.
constexpr int kEscapeOneIn = 20;
// Moves during which a colour taken out of a block may not come back to it, plus up to 9 at random.
constexpr int kTabuMoves = 10;

class CoverSearch : SetSearch {
  public:
    CoverSearch(const std::vector<std::vector<int>>& sets, int colorCount, const LocalSearchLimits& limits,
                unsigned restart)
        : SetSearch(sets, colorCount, limits, restart),
          m_setsWith(std::size_t(colorCount)),
          m_block(std::size_t(limits.blocks)),
          m_distance(sets.size() * std::size_t(limits.blocks)),
          m_nearest(sets.size()),
          m_nearestCount(sets.size()),
          m_weight(sets.size(), 1),
          m_tabu(std::size_t(limits.blocks) * std::size_t(colorCount), 0) {
        for (int s = 0; s < m_n; ++s)
            for (int c : sets[s]) m_setsWith[c].push_back(s);
        start(restart);
    }

    // Each step picks an uncovered set at random and makes the swap that brings it one colour nearer
    // to a block and lowers the weighted distance of all sets most; where no swap lowers it, the
    // uncovered sets weigh more (the breakout), so the search leaves the state it is stuck in.
    std::vector<int> run() {
        std::vector<int> uncovered;
        int fruitless = 0;
        for (std::uint64_t step = 1; m_work < m_limits.work; ++step) {
            m_work += std::uint64_t(m_n);
            uncovered.clear();
            for (int s = 0; s < m_n; ++s)
                if (m_nearest[s] > 0) uncovered.push_back(s);
            if (uncovered.empty()) return blockOfSets();
            if ((step & 63) == 0 && Clock::now() >= m_limits.deadline) break;

            const int s = uncovered[std::size_t(m_random.below(int(uncovered.size())))];
            const Move move = bestSwap(s, step);
            const bool improves = move.block >= 0 && move.delta < 0;
            if (!improves && m_random.below(kEscapeOneIn) == 0) {
                coverWhole(s, step);
                continue;
            }
            if (!improves) {
                for (int t : uncovered) ++m_weight[t];
                if (++fruitless % kWeightDecayEvery == 0)
                    for (int& w : m_weight) w = std::max(1, w - 1);
            }
            if (move.block >= 0) swap(move.block, move.out, move.in, step);
        }
        return {};
    }

  private:
    struct Move {
        int block = -1, out = -1, in = -1;
        int delta = 0;  // change of the weighted distance of all sets
    };

    int& distance(int s, int b) { return m_distance[std::size_t(s) * std::size_t(m_blocks) + b]; }

    // Sets into blocks by least overflow, largest first (in a shuffled order after the first start);
    // each block then keeps the colours most of its sets use.
    void start(unsigned restart) {
        std::vector<int> order(static_cast<std::size_t>(m_n));
        std::iota(order.begin(), order.end(), 0);
        if (restart > 0)
            for (int i = m_n - 1; i > 0; --i) std::swap(order[i], order[m_random.below(i + 1)]);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return m_sets[a].size() > m_sets[b].size(); });
        std::vector<int> uses(std::size_t(m_blocks) * std::size_t(m_m), 0);
        std::vector<int> size(std::size_t(m_blocks), 0);
        for (int s : order) {
            int best = 0, bestOver = 0, bestGrowth = 0;
            for (int b = 0; b < m_blocks; ++b) {
                int growth = 0;
                for (int c : m_sets[s]) growth += uses[std::size_t(b) * m_m + c] == 0 ? 1 : 0;
                const int over =
                    std::max(0, size[b] + growth - m_limits.colors) - std::max(0, size[b] - m_limits.colors);
                if (b == 0 || over < bestOver || (over == bestOver && growth < bestGrowth))
                    best = b, bestOver = over, bestGrowth = growth;
            }
            for (int c : m_sets[s]) size[best] += uses[std::size_t(best) * m_m + c]++ == 0 ? 1 : 0;
        }
        const int width = std::min(m_limits.colors, m_m);
        std::vector<int> colours(static_cast<std::size_t>(m_m));
        for (int b = 0; b < m_blocks; ++b) {
            std::iota(colours.begin(), colours.end(), 0);
            const int* row = &uses[std::size_t(b) * m_m];
            std::stable_sort(colours.begin(), colours.end(), [&](int x, int y) {
                return row[x] != row[y] ? row[x] > row[y] : m_setsWith[x].size() > m_setsWith[y].size();
            });
            for (int i = 0; i < width; ++i) m_block[b].add(colours[i]);
        }
        for (int s = 0; s < m_n; ++s) {
            for (int b = 0; b < m_blocks; ++b) {
                int missing = 0;
                for (int c : m_sets[s]) missing += m_block[b].has(c) ? 0 : 1;
                distance(s, b) = missing;
            }
            updateNearest(s);
        }
    }

    void updateNearest(int s) {
        int nearest = m_limits.colors + 1, count = 0;
        for (int b = 0; b < m_blocks; ++b) {
            const int d = distance(s, b);
            if (d < nearest)
                nearest = d, count = 1;
            else if (d == nearest)
                ++count;
        }
        m_nearest[s] = nearest;
        m_nearestCount[s] = count;
    }

    // The change of the weighted distance when block b gives up `out` for `in`.
    int swapDelta(int b, int out, int in) {
        m_work += m_setsWith[out].size() + m_setsWith[in].size();
        int delta = 0;
        for (int t : m_setsWith[out])
            if (!m_setColours[t].has(in) && distance(t, b) == m_nearest[t] && m_nearestCount[t] == 1)
                delta += m_weight[t];
        for (int t : m_setsWith[in])
            if (!m_setColours[t].has(out) && distance(t, b) == m_nearest[t]) delta -= m_weight[t];
        return delta;
    }

    // The best swap that brings set s one colour nearer to a block it is nearest to; ties at random.
    Move bestSwap(int s, std::uint64_t step) {
        Move best;
        int ties = 0;
        for (int b = 0; b < m_blocks; ++b) {
            if (distance(s, b) != m_nearest[s]) continue;
            for (int in : m_sets[s]) {
                if (m_block[b].has(in)) continue;
                const bool tabu = m_tabu[std::size_t(b) * m_m + in] > step;
                for (int out = 0; out < m_m; ++out) {
                    if (!m_block[b].has(out) || m_setColours[s].has(out)) continue;
                    const int delta = swapDelta(b, out, in);
                    if (tabu && delta >= 0) continue;
                    if (best.block < 0 || delta < best.delta) {
                        best = {b, out, in, delta}, ties = 1;
                    } else if (delta == best.delta && m_random.below(++ties) == 0) {
                        best = {b, out, in, delta};
                    }
                }
            }
        }
        return best;
    }

    void swap(int b, int out, int in, std::uint64_t step) {
        m_work += (m_setsWith[out].size() + m_setsWith[in].size()) * std::uint64_t(m_blocks + 1);
        m_block[b].remove(out);
        m_block[b].add(in);
        for (int t : m_setsWith[out]) ++distance(t, b);
        for (int t : m_setsWith[in]) --distance(t, b);
        for (int t : m_setsWith[out]) updateNearest(t);
        for (int t : m_setsWith[in]) updateNearest(t);
        m_tabu[std::size_t(b) * m_m + out] = step + kTabuMoves + std::uint64_t(m_random.below(10));
    }

    // Set s whole into the nearest block after those it is nearest to (ties at random), each missing
    // colour in place of the colour whose loss uncovers the least.
    void coverWhole(int s, std::uint64_t step) {
        if (m_blocks < 2) return;
        int b = -1, ties = 0;
        for (int x = 0; x < m_blocks; ++x) {
            if (distance(s, x) == m_nearest[s]) continue;
            if (b < 0 || distance(s, x) < distance(s, b)) {
                b = x, ties = 1;
            } else if (distance(s, x) == distance(s, b) && m_random.below(++ties) == 0) {
                b = x;
            }
        }
        if (b < 0) b = m_random.below(m_blocks);  // all are equally near
        for (int in : m_sets[s]) {
            if (m_block[b].has(in)) continue;
            int best = -1, bestLoss = 0;
            for (int out = 0; out < m_m; ++out) {
                if (!m_block[b].has(out) || m_setColours[s].has(out)) continue;
                int loss = 0;
                m_work += m_setsWith[out].size();
                for (int t : m_setsWith[out])
                    if (distance(t, b) == m_nearest[t] && m_nearestCount[t] == 1) loss += m_weight[t];
                if (best < 0 || loss < bestLoss || (loss == bestLoss && m_random.below(2) == 0))
                    best = out, bestLoss = loss;
            }
            swap(b, best, in, step);
        }
    }

    // Each set in the first block that covers it.
    std::vector<int> blockOfSets() {
        std::vector<int> blockOf(static_cast<std::size_t>(m_n));
        for (int s = 0; s < m_n; ++s)
            while (distance(s, blockOf[s]) != 0) ++blockOf[s];
        return numbered(std::move(blockOf));
    }

    std::vector<std::vector<int>> m_setsWith;  // the sets that have each colour
    std::vector<ColourBits> m_block;           // always min(colors, colorCount) colours each
    std::vector<int> m_distance;               // colours of set s that block b lacks
    std::vector<int> m_nearest;                // the least distance of each set: 0 when it is covered
    std::vector<int> m_nearestCount;           // how many blocks are at that distance
    std::vector<int> m_weight;                 // grows while a set stays uncovered
    std::vector<std::uint64_t> m_tabu;         // the step before which colour c may not enter block b
};

}  // namespace

std::vector<int> findBlockCover(const std::vector<std::vector<int>>& sets, int colorCount,
                                const LocalSearchLimits& limits, unsigned restart) {
    if (sets.empty()) return {};
    return CoverSearch(sets, colorCount, limits, restart).run();
}

}  // namespace nrbx::importing
