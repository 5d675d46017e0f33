#include "import/block_moves.h"

#include <algorithm>
#include <numeric>

namespace nrbx::importing {

namespace {

using Clock = std::chrono::steady_clock;

// A set moved out of a block may not go back for this many tenths of the sets that could move, plus up
// to 9 moves at random: the more choices, the longer a move must stay to be given a chance.
constexpr int kTabuTenthsOfMovable = 3;

class MoveSearch : SetSearch {
  public:
    MoveSearch(const std::vector<std::vector<int>>& sets, int colorCount, const LocalSearchLimits& limits,
               unsigned restart)
        : SetSearch(sets, colorCount, limits, restart),
          m_uses(std::size_t(limits.blocks) * std::size_t(colorCount), 0),
          m_held(std::size_t(limits.blocks)),
          m_once(std::size_t(limits.blocks)),
          m_size(std::size_t(limits.blocks), 0),
          m_blockOf(sets.size(), -1),
          m_tabu(sets.size() * std::size_t(limits.blocks), 0) {
        // Largest first (in a shuffled order after the first start), each where it overflows least.
        std::vector<int> order(sets.size());
        std::iota(order.begin(), order.end(), 0);
        if (restart > 0)
            for (int i = m_n - 1; i > 0; --i) std::swap(order[i], order[m_random.below(i + 1)]);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return sets[a].size() > sets[b].size(); });
        for (int s : order) {
            int best = 0, bestOver = 0, bestGrowth = 0;
            for (int b = 0; b < m_blocks; ++b) {
                const int growth = growthIn(s, b), over = overflow(m_size[b] + growth) - overflow(m_size[b]);
                if (b == 0 || over < bestOver || (over == bestOver && growth < bestGrowth))
                    best = b, bestOver = over, bestGrowth = growth;
            }
            put(s, best);
        }
        for (int b = 0; b < m_blocks; ++b) m_overflow += overflow(m_size[b]);
    }

    std::vector<int> run() {
        int least = m_overflow;
        for (std::uint64_t step = 1; m_work < m_limits.work; ++step) {
            if (m_overflow == 0) return blockOfSets();
            if ((step & 63) == 0 && Clock::now() >= m_limits.deadline) break;
            // Of every set in a block with too many colours, the move that cuts the overflow most, then
            // the one that adds fewest colours; a tabu move only when it beats the best state so far.
            int bestSet = -1, bestBlock = -1, bestDelta = 0, bestGrowth = 0, ties = 0, movable = 0;
            for (int s = 0; s < m_n; ++s) {
                const int from = m_blockOf[s];
                if (m_size[from] <= m_limits.colors) continue;
                ++movable;
                const int freed = freedFrom(s);
                const int leave = overflow(m_size[from] - freed) - overflow(m_size[from]);
                for (int b = 0; b < m_blocks; ++b) {
                    if (b == from) continue;
                    const int growth = growthIn(s, b);
                    const int delta = leave + overflow(m_size[b] + growth) - overflow(m_size[b]);
                    const bool tabu = m_tabu[std::size_t(s) * m_blocks + b] > step;
                    if (tabu && m_overflow + delta >= least) continue;
                    const int net = growth - freed;
                    if (bestSet < 0 || delta < bestDelta || (delta == bestDelta && net < bestGrowth)) {
                        bestSet = s, bestBlock = b, bestDelta = delta, bestGrowth = net, ties = 1;
                    } else if (delta == bestDelta && net == bestGrowth && m_random.below(++ties) == 0) {
                        bestSet = s, bestBlock = b;
                    }
                }
            }
            if (bestSet < 0) continue;
            const int from = m_blockOf[bestSet];
            m_overflow -= overflow(m_size[from]) + overflow(m_size[bestBlock]);
            take(bestSet);
            put(bestSet, bestBlock);
            m_overflow += overflow(m_size[from]) + overflow(m_size[bestBlock]);
            m_tabu[std::size_t(bestSet) * m_blocks + from] =
                step + std::uint64_t(kTabuTenthsOfMovable * movable / 10 + m_random.below(10));
            least = std::min(least, m_overflow);
        }
        return {};
    }

  private:
    int overflow(int size) const { return std::max(0, size - m_limits.colors); }
    int& uses(int b, int c) { return m_uses[std::size_t(b) * std::size_t(m_m) + std::size_t(c)]; }
    int growthIn(int s, int b) {
        m_work += 4;
        return m_setColours[s].countWithout(m_held[b]);
    }
    // The colours block of s loses when s leaves it.
    int freedFrom(int s) {
        m_work += 4;
        return m_setColours[s].countWithin(m_once[m_blockOf[s]]);
    }
    void put(int s, int b) {
        for (int c : m_sets[s]) {
            const int n = ++uses(b, c);
            if (n == 1) ++m_size[b], m_held[b].add(c), m_once[b].add(c);
            if (n == 2) m_once[b].remove(c);
        }
        m_blockOf[s] = b;
    }
    void take(int s) {
        const int b = m_blockOf[s];
        for (int c : m_sets[s]) {
            const int n = --uses(b, c);
            if (n == 0) --m_size[b], m_held[b].remove(c), m_once[b].remove(c);
            if (n == 1) m_once[b].add(c);
        }
    }

    std::vector<int> blockOfSets() const { return numbered(m_blockOf); }

    std::vector<int> m_uses;                 // sets of block b with colour c
    std::vector<ColourBits> m_held, m_once;  // colours of each block, and those only one of its sets has
    std::vector<int> m_size;  // colours of each block, more than limits.colors while it overflows
    std::vector<int> m_blockOf;
    std::vector<std::uint64_t> m_tabu;  // the step before which set s may not go back to block b
    int m_overflow = 0;                 // the colours over the limit, all blocks together
};

}  // namespace

std::vector<int> moveSetsBetweenBlocks(const std::vector<std::vector<int>>& sets, int colorCount,
                                       const LocalSearchLimits& limits, unsigned restart) {
    if (sets.empty()) return {};
    return MoveSearch(sets, colorCount, limits, restart).run();
}

}  // namespace nrbx::importing
