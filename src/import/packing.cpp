#include "import/packing.h"

#include "import/block_cover.h"
#include "import/block_moves.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <stdexcept>

namespace nrbx::importing {

namespace {

// All colours of a packing fit in 16 blocks of 16: more distinct ones than that cannot be packed at all.
constexpr std::size_t kMaxColors = 256;
// A set of colour numbers below kMaxColors. Counted in plain arithmetic: without a popcount instruction
// in the baseline instruction set, std::bitset::count calls a library routine, and the search counts
// more than anything else.
class Bits {
  public:
    bool test(std::size_t c) const { return (m_words[c / 64] >> (c % 64) & 1) != 0; }
    void set(std::size_t c) { m_words[c / 64] |= std::uint64_t(1) << (c % 64); }
    bool none() const { return (m_words[0] | m_words[1] | m_words[2] | m_words[3]) == 0; }
    int count() const {
        int n = 0;
        for (std::uint64_t w : m_words) {
            w -= w >> 1 & 0x5555555555555555u;
            w = (w & 0x3333333333333333u) + (w >> 2 & 0x3333333333333333u);
            n += int(((w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu) * 0x0101010101010101u >> 56);
        }
        return n;
    }
    Bits& operator|=(const Bits& other) {
        for (int i = 0; i < kWords; ++i) m_words[i] |= other.m_words[i];
        return *this;
    }
    Bits operator|(const Bits& other) const { return Bits(*this) |= other; }
    Bits operator&(const Bits& other) const {
        Bits both = *this;
        for (int i = 0; i < kWords; ++i) both.m_words[i] &= other.m_words[i];
        return both;
    }
    Bits operator~() const {
        Bits inverse = *this;
        for (std::uint64_t& w : inverse.m_words) w = ~w;
        return inverse;
    }

  private:
    static constexpr int kWords = int(kMaxColors / 64);
    std::array<std::uint64_t, kWords> m_words{};
};

using Clock = std::chrono::steady_clock;

// The first turn of the complete search and of each local search (a few milliseconds, and 10 to 30):
// enough for the proofs and most packings of our pictures. Each later turn has twice as much, the local
// searches from a new start: short runs from many starts find most packings, the rare hard ones need a
// long run, and doubling gives both.
constexpr std::uint64_t kFirstNodes = 4096;
constexpr std::uint64_t kFirstWork = 8'000'000;

int count(const Bits& bits) {
    return bits.count();
}

// A set as bits, and as the list of its colours for the loops that only ask which of them a block has.
struct Members {
    Bits bits;
    std::vector<int> colors;
};

// Largest sets first, each into the block it grows least; a new block where none has room.
std::vector<int> bestFitDecreasing(const std::vector<Members>& sets, int colors, int& blocks) {
    std::vector<int> order(sets.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return sets[a].colors.size() > sets[b].colors.size(); });
    std::vector<Bits> packed;
    std::vector<int> packedSize;
    std::vector<int> blockOf(sets.size());
    for (int s : order) {
        int best = -1, bestGrowth = 0;
        for (std::size_t b = 0; b < packed.size(); ++b) {
            const int growth = int(std::count_if(sets[s].colors.begin(), sets[s].colors.end(),
                                                 [&](int c) { return !packed[b].test(std::size_t(c)); }));
            if (packedSize[b] + growth <= colors && (best < 0 || growth < bestGrowth))
                best = int(b), bestGrowth = growth;
        }
        if (best < 0) {
            best = int(packed.size());
            packed.emplace_back();
            packedSize.push_back(0);
            bestGrowth = int(sets[s].colors.size());
        }
        packed[best] |= sets[s].bits;
        packedSize[best] += bestGrowth;
        blockOf[s] = best;
    }
    blocks = int(packed.size());
    return blockOf;
}

// A large set of sets no two of which fit one block together: each start grown greedily, in order of
// conflicts. Enough to prove most pictures that cannot be packed, quickly and with cells to name.
std::vector<int> apartSets(const std::vector<std::vector<char>>& conflict) {
    const int n = int(conflict.size());
    std::vector<int> degree(n, 0);
    for (int i = 0; i < n; ++i) degree[i] = int(std::count(conflict[i].begin(), conflict[i].end(), 1));
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return degree[a] > degree[b]; });
    std::vector<int> best;
    for (int start : order) {
        if (degree[start] + 1 <= int(best.size())) break;
        std::vector<int> clique{start};
        for (int v : order) {
            if (v == start) continue;
            if (std::all_of(clique.begin(), clique.end(), [&](int u) { return conflict[u][v] != 0; }))
                clique.push_back(v);
        }
        if (clique.size() > best.size()) best = std::move(clique);
    }
    return best;
}

// The depth-first search over blocks, on sets none of which holds another.
class Search {
  public:
    Search(const std::vector<Bits>& sets, const std::vector<std::vector<char>>& conflict,
           const PackingLimits& limits, Clock::time_point deadline)
        : m_sets(sets),
          m_conflict(conflict),
          m_limits(limits),
          m_deadline(deadline),
          m_blockOf(sets.size(), -1),
          m_fits(sets.size(), 0),
          m_blocks(std::size_t(limits.blocks)) {}

    enum class Result { Found, None, OutOfTime, OutOfNodes };

    Result run(std::uint64_t nodes) {
        m_nodeLimit = nodes;
        return place(0);
    }
    const std::vector<int>& blockOf() const { return m_blockOf; }
    int blocksUsed() const { return m_used; }

  private:
    // Places the sets not placed yet, `placed` of them being placed.
    Result place(int placed) {
        if (placed == int(m_sets.size())) return Result::Found;
        if (m_nodes == m_nodeLimit) return Result::OutOfNodes;
        if ((m_nodes++ & 255) == 0 && Clock::now() >= m_deadline) return Result::OutOfTime;

        const std::uint32_t usedMask = m_used == 32 ? ~0u : (1u << m_used) - 1;
        const bool canOpen = m_used < m_limits.blocks;
        int chosen = -1, chosenOptions = 0, chosenOverlap = 0;
        std::vector<int> homeless;  // sets that fit no used block
        for (std::size_t s = 0; s < m_sets.size(); ++s) {
            if (m_blockOf[s] >= 0) continue;
            const std::uint32_t fits = m_fits[s] & usedMask;
            // A set some block already holds costs nothing there, and changes nothing for the others.
            for (std::uint32_t rest = fits; rest != 0; rest &= rest - 1) {
                const int b = __builtin_ctz(rest);
                if ((m_sets[s] & ~m_blocks[b]).none()) {
                    m_blockOf[s] = b;
                    const Result result = place(placed + 1);
                    if (result != Result::Found) m_blockOf[s] = -1;
                    return result;
                }
            }
            const int options = __builtin_popcount(fits) + (canOpen ? 1 : 0);
            if (options == 0) return Result::None;
            if (fits == 0) homeless.push_back(int(s));
            int overlap = 0;
            for (std::uint32_t rest = fits; rest != 0; rest &= rest - 1)
                overlap = std::max(overlap, count(m_sets[s] & m_blocks[__builtin_ctz(rest)]));
            if (chosen < 0 || options < chosenOptions ||
                (options == chosenOptions && overlap > chosenOverlap)) {
                chosen = int(s), chosenOptions = options, chosenOverlap = overlap;
            }
        }
        // Sets that fit no used block need new ones, one each where no two of them fit together.
        int needed = 0;
        std::vector<int> apart;
        for (int s : homeless) {
            if (std::all_of(apart.begin(), apart.end(), [&](int t) { return m_conflict[s][t] != 0; }))
                apart.push_back(s), ++needed;
        }
        if (m_used + needed > m_limits.blocks) return Result::None;
        // Every colour no block has yet needs a free place: room left in the used blocks, or new blocks.
        Bits held, wanted;
        int room = (m_limits.blocks - m_used) * m_limits.colors;
        for (int b = 0; b < m_used; ++b) held |= m_blocks[b], room += m_limits.colors - count(m_blocks[b]);
        for (std::size_t s = 0; s < m_sets.size(); ++s)
            if (m_blockOf[s] < 0) wanted |= m_sets[s];
        if (count(wanted & ~held) > room) return Result::None;

        // The blocks the chosen set fits, the one it grows least first, then a new block.
        std::vector<std::pair<int, int>> choices;  // growth, block
        for (std::uint32_t rest = m_fits[chosen] & usedMask; rest != 0; rest &= rest - 1) {
            const int b = __builtin_ctz(rest);
            choices.push_back({count(m_sets[chosen] & ~m_blocks[b]), b});
        }
        std::stable_sort(choices.begin(), choices.end());
        if (canOpen) choices.push_back({0, m_used});
        for (const auto& [growth, b] : choices) {
            const bool opened = b == m_used;
            const Bits before = m_blocks[b];
            m_blocks[b] |= m_sets[chosen];
            if (opened) ++m_used;
            m_blockOf[chosen] = b;
            // Only block b changed: the sets that fitted it may no longer.
            std::vector<int> lost;
            for (std::size_t s = 0; s < m_sets.size(); ++s) {
                if (m_blockOf[s] >= 0) continue;
                const bool fitted = opened || (m_fits[s] >> b & 1) != 0;
                const bool fits = count(m_blocks[b] | m_sets[s]) <= m_limits.colors;
                if (opened && fits) m_fits[s] |= 1u << b;
                if (!opened && fitted && !fits) m_fits[s] &= ~(1u << b), lost.push_back(int(s));
            }
            const Result result = place(placed + 1);
            if (result == Result::Found) return result;
            m_blockOf[chosen] = -1;
            for (int s : lost) m_fits[s] |= 1u << b;
            if (opened) {
                --m_used;
                for (std::size_t s = 0; s < m_sets.size(); ++s) m_fits[s] &= ~(1u << b);
            }
            m_blocks[b] = before;
            if (result == Result::OutOfTime || result == Result::OutOfNodes) return result;
        }
        return Result::None;
    }

    const std::vector<Bits>& m_sets;
    const std::vector<std::vector<char>>& m_conflict;
    const PackingLimits& m_limits;
    Clock::time_point m_deadline;
    std::vector<int> m_blockOf;
    std::vector<std::uint32_t> m_fits;  // bit b of m_fits[s]: set s fits in used block b as it is now
    std::vector<Bits> m_blocks;
    int m_used = 0;
    std::uint64_t m_nodes = 0;
    std::uint64_t m_nodeLimit = 0;
};

}  // namespace

Packing packColorSets(std::span<const ColorSet> sets, const PackingLimits& limits) {
    const auto start = Clock::now();
    if (limits.blocks < 1 || limits.blocks > 32 || limits.colors < 1 ||
        std::size_t(limits.blocks) * std::size_t(limits.colors) > kMaxColors)
        throw std::invalid_argument("packColorSets: blocks 1..32 and blocks * colors <= 256");
    Packing packing;

    // Colours numbered densely in the order they come, so that a set is a bit set.
    constexpr std::uint16_t kUnseen = 0xFFFF;  // numbers past kMaxColors only count, so they may clip
    std::vector<std::uint16_t> number(std::size_t(1) << 16, kUnseen);
    int distinct = 0;
    std::vector<Members> members(sets.size());
    std::vector<std::uint64_t> signature(sets.size(),
                                         0);  // bit c % 64 of each colour c: a quick "not inside"
    for (std::size_t s = 0; s < sets.size(); ++s) {
        for (std::uint16_t c : sets[s]) {
            if (number[c] == kUnseen) number[c] = std::uint16_t(std::min(distinct++, kUnseen - 1));
            if (number[c] >= kMaxColors) continue;  // too many colours: answered below
            if (!members[s].bits.test(std::size_t(number[c]))) members[s].colors.push_back(number[c]);
            members[s].bits.set(std::size_t(number[c]));
            signature[s] |= std::uint64_t(1) << (number[c] % 64);
        }
        if (int(members[s].colors.size()) > limits.colors)
            throw std::invalid_argument("packColorSets: a set is too large");
    }
    if (distinct > limits.blocks * limits.colors) {
        packing.outcome = Packing::Outcome::TooManyColors;
        packing.colors = distinct;
        return packing;
    }

    // A set inside another goes wherever that one goes; the first of equal sets stands for the others.
    std::vector<int> bySize(sets.size());
    std::iota(bySize.begin(), bySize.end(), 0);
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&](int a, int b) { return members[a].colors.size() > members[b].colors.size(); });
    std::vector<int> ownerOf(sets.size(), -1);
    std::vector<int> kept;  // original indices of the sets that no other holds
    for (int s : bySize) {
        for (int k : kept) {
            if ((signature[s] & ~signature[k]) == 0 && (members[s].bits & ~members[k].bits).none()) {
                ownerOf[s] = k;
                break;
            }
        }
        if (ownerOf[s] < 0) kept.push_back(s);
    }
    std::sort(kept.begin(), kept.end());
    std::vector<Members> keptMembers;
    std::vector<Bits> keptBits;
    for (int k : kept) keptMembers.push_back(members[k]), keptBits.push_back(members[k].bits);

    const auto finish = [&](const std::vector<int>& keptBlock, int blocks) {
        std::vector<int> blockOfOriginal(sets.size(), -1);
        for (std::size_t i = 0; i < kept.size(); ++i) blockOfOriginal[kept[i]] = keptBlock[i];
        packing.blockOf.resize(sets.size());
        for (std::size_t s = 0; s < sets.size(); ++s)
            packing.blockOf[s] = blockOfOriginal[ownerOf[s] < 0 ? int(s) : ownerOf[s]];
        packing.outcome = Packing::Outcome::Packed;
        packing.blocks = blocks;
        return packing;
    };

    int greedyBlocks = 0;
    const std::vector<int> greedy = bestFitDecreasing(keptMembers, limits.colors, greedyBlocks);
    if (greedyBlocks <= limits.blocks) return finish(greedy, greedyBlocks);

    std::vector<std::vector<char>> conflict(kept.size(), std::vector<char>(kept.size(), 0));
    for (std::size_t a = 0; a < kept.size(); ++a)
        for (std::size_t b = a + 1; b < kept.size(); ++b)
            conflict[a][b] = conflict[b][a] = count(keptBits[a] | keptBits[b]) > limits.colors ? 1 : 0;
    if (std::vector<int> apart = apartSets(conflict); int(apart.size()) > limits.blocks) {
        packing.outcome = Packing::Outcome::Apart;
        for (int i : apart) packing.apart.push_back(kept[i]);
        std::sort(packing.apart.begin(), packing.apart.end());
        return packing;
    }

    // The complete search and the two local searches by turns, each turn with twice the work: the first
    // answer ends it. Work is counted, not timed, so the same sets get the same packing; only the
    // time limit depends on the machine. A complete search that ends is a proof, the local searches
    // only ever find packings.
    const auto deadline = start + limits.time;
    std::vector<std::vector<int>> keptColors;
    for (const Members& m : keptMembers) keptColors.push_back(m.colors);
    LocalSearchLimits localLimits{limits.blocks, limits.colors, 0, deadline};
    for (unsigned turn = 0;; ++turn) {
        Search search(keptBits, conflict, limits, deadline);
        const Search::Result result = search.run(kFirstNodes << std::min(turn, 40u));
        if (result == Search::Result::Found) {
            finish(search.blockOf(), search.blocksUsed());
            packing.searched = true;
            return packing;
        }
        if (result == Search::Result::None) {
            packing.outcome = Packing::Outcome::Exhausted;
            return packing;
        }
        localLimits.work = kFirstWork << std::min(turn, 20u);
        if (result == Search::Result::OutOfNodes) {
            for (const auto& localSearch : {findBlockCover, moveSetsBetweenBlocks}) {
                const std::vector<int> found = localSearch(keptColors, distinct, localLimits, turn);
                if (found.empty()) continue;
                finish(found, *std::max_element(found.begin(), found.end()) + 1);
                packing.searched = true;
                return packing;
            }
        }
        if (Clock::now() >= deadline) break;
    }
    packing.outcome = Packing::Outcome::TimeLimit;
    packing.blocks = greedyBlocks;
    return packing;
}

}  // namespace nrbx::importing
