// The block packing: every packing that exists is found, and only a proof says there is none.

#include "import/packing.h"

#include "import/block_cover.h"
#include "import/block_moves.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace nrbx::importing {
namespace {

// The packing is valid: each set inside its block, each block at most `colors` colours.
void expectValid(const std::vector<ColorSet>& sets, const Packing& packing,
                 const PackingLimits& limits = {}) {
    ASSERT_EQ(packing.outcome, Packing::Outcome::Packed);
    ASSERT_EQ(packing.blockOf.size(), sets.size());
    ASSERT_LE(packing.blocks, limits.blocks);
    std::vector<ColorSet> blocks(std::size_t(packing.blocks));
    for (std::size_t s = 0; s < sets.size(); ++s) {
        ASSERT_GE(packing.blockOf[s], 0);
        ASSERT_LT(packing.blockOf[s], packing.blocks);
        ColorSet& block = blocks[std::size_t(packing.blockOf[s])];
        block.insert(block.end(), sets[s].begin(), sets[s].end());
    }
    for (ColorSet& block : blocks) {
        std::sort(block.begin(), block.end());
        block.erase(std::unique(block.begin(), block.end()), block.end());
        EXPECT_LE(int(block.size()), limits.colors);
    }
}

ColorSet range(int from, int to) {
    ColorSet set;
    for (int c = from; c < to; ++c) set.push_back(std::uint16_t(c));
    return set;
}

// Pairs of hidden blocks A, B of 16 colours, each given as its halves and a middle that bridges them:
// best-fit decreasing puts A's first half with B's (both 8, together 16) and needs four blocks a pair.
std::vector<ColorSet> greedyTrap(int pairs) {
    std::vector<ColorSet> sets;
    for (int p = 0; p < pairs; ++p) {
        const int a = p * 32, b = a + 16;
        for (const ColorSet& s : {range(a, a + 8), range(b, b + 8), range(a + 8, a + 16),
                                  range(b + 8, b + 16), range(a + 4, a + 12), range(b + 4, b + 12)})
            sets.push_back(s);
    }
    return sets;
}

TEST(Packing, CellsFromSixteenHiddenBlocksAlwaysPack) {
    std::mt19937 random(20);
    int searched = 0;
    for (int trial = 0; trial < 300; ++trial) {
        // Sixteen blocks of 16 colours: some of their own, the rest from a pool all blocks share, so
        // many a cell fits several blocks.
        const int own = trial % 15;
        const int pool = 16 - own + trial % 7 * 4;
        std::vector<ColorSet> hidden(16);
        for (int h = 0; h < 16; ++h) {
            hidden[h] = range(h * own, h * own + own);
            std::vector<std::uint16_t> shared = range(16 * own, 16 * own + pool);
            std::shuffle(shared.begin(), shared.end(), random);
            hidden[h].insert(hidden[h].end(), shared.begin(), shared.begin() + (16 - own));
        }
        std::vector<ColorSet> sets(std::size_t(16 + random() % 241));
        for (ColorSet& set : sets) {
            ColorSet pick = hidden[random() % 16];
            std::shuffle(pick.begin(), pick.end(), random);
            // Mostly large subsets, which constrain the packing most.
            pick.resize(std::size_t(4 + random() % 13));
            std::sort(pick.begin(), pick.end());
            set = pick;
        }
        const Packing packing = packColorSets(sets);
        SCOPED_TRACE("trial " + std::to_string(trial));
        expectValid(sets, packing);
        searched += packing.searched ? 1 : 0;
    }
    EXPECT_GT(searched, 0);  // some of them only the search packs
}

// Cells of `smallest..largest` colours from 16 hidden blocks of 16 drawn from one pool of colours, so
// that every block shares most of its colours with the others; `clear` adds one colour to every cell
// and block, as the import does for transparent pixels.
std::vector<ColorSet> overlapping(int pool, int cells, int smallest, int largest, bool clear,
                                  std::mt19937& random) {
    std::vector<ColorSet> hidden(16);
    for (ColorSet& block : hidden) {
        block = range(0, pool);
        std::shuffle(block.begin(), block.end(), random);
        block.resize(clear ? 15 : 16);
        if (clear) block.push_back(std::uint16_t(pool));
    }
    std::vector<ColorSet> sets(static_cast<std::size_t>(cells));
    for (ColorSet& set : sets) {
        const ColorSet& block = hidden[random() % 16];
        set = block;
        std::shuffle(set.begin(), set.begin() + (clear ? 15 : 16), random);
        const auto size = std::size_t(smallest) + random() % std::size_t(largest - smallest + 1);
        set.resize(std::min(size, std::size_t(clear ? 15 : 16)));
        if (clear) set.push_back(std::uint16_t(pool));
        std::sort(set.begin(), set.end());
    }
    return sets;
}

TEST(Packing, HeavilyOverlappingBlocksPackTheSameEveryTime) {
    std::mt19937 random(27);
    int searched = 0;
    for (int trial = 0; trial < 40; ++trial) {
        const int pool = 32 + trial % 5 * 8, cells = trial % 4 == 3 ? 128 : 256;
        const std::vector<ColorSet> sets = overlapping(pool, cells, 3, 10, trial % 3 == 2, random);
        // A generous limit: whether they pack is the question here, how fast is the benchmark's.
        const PackingLimits limits{16, 16, std::chrono::seconds(30)};
        const Packing packing = packColorSets(sets, limits);
        SCOPED_TRACE("trial " + std::to_string(trial));
        expectValid(sets, packing, limits);
        const Packing again = packColorSets(sets, limits);
        EXPECT_EQ(again.blockOf, packing.blockOf);
        EXPECT_EQ(again.blocks, packing.blocks);
        searched += packing.searched ? 1 : 0;
    }
    EXPECT_GT(searched, 30);  // the greedy packing alone finds few of them
}

// Sets as the local searches take them: colour numbers below 256 (the colours here already are).
std::vector<std::vector<int>> numbered(const std::vector<ColorSet>& sets) {
    std::vector<std::vector<int>> numbers;
    for (const ColorSet& set : sets) numbers.emplace_back(set.begin(), set.end());
    return numbers;
}

// A local search's answer as a packing, to check like any other.
Packing packed(const std::vector<int>& blockOf) {
    Packing packing;
    packing.blockOf = blockOf;
    packing.blocks = blockOf.empty() ? 0 : *std::max_element(blockOf.begin(), blockOf.end()) + 1;
    return packing;
}

TEST(Packing, EachLocalSearchAloneFindsRealPackingsOnly) {
    using LocalSearch =
        std::vector<int> (*)(const std::vector<std::vector<int>>&, int, const LocalSearchLimits&, unsigned);
    const auto farOff = std::chrono::steady_clock::now() + std::chrono::hours(1);
    // Each alone packs the pictures it is there for: the block colours where all 256 cells overlap,
    // the moves where 128 cells leave blocks colours to spare. Work is counted, so this is no race.
    const std::pair<LocalSearch, int> searches[] = {{findBlockCover, 256}, {moveSetsBetweenBlocks, 128}};
    for (const auto& [search, cells] : searches) {
        std::mt19937 random(8);
        for (int trial = 0; trial < 8; ++trial) {
            const std::vector<ColorSet> sets = overlapping(40, cells, 3, 10, false, random);
            const std::vector<int> blockOf = search(numbered(sets), 40, {16, 16, 4'000'000'000, farOff}, 0);
            SCOPED_TRACE("cells " + std::to_string(cells) + " trial " + std::to_string(trial));
            expectValid(sets, packed(blockOf));
            EXPECT_EQ(search(numbered(sets), 40, {16, 16, 4'000'000'000, farOff}, 0), blockOf);
        }
    }
    // Small sets that often cannot be packed at all: an answer is always a real packing.
    std::mt19937 random(1452);
    int found = 0;
    for (int trial = 0; trial < 200; ++trial) {
        const PackingLimits limits{2 + trial % 2, 4 + trial % 3};
        std::vector<ColorSet> sets(static_cast<std::size_t>(3 + random() % 5));
        for (ColorSet& set : sets) {
            for (int c = 0; c < 9; ++c)
                if (random() % 3 == 0 && int(set.size()) < limits.colors) set.push_back(std::uint16_t(c));
            if (set.empty()) set.push_back(std::uint16_t(random() % 9));
        }
        for (LocalSearch search : {findBlockCover, moveSetsBetweenBlocks}) {
            const std::vector<int> blockOf =
                search(numbered(sets), 9, {limits.blocks, limits.colors, 200'000, farOff}, unsigned(trial));
            SCOPED_TRACE("trial " + std::to_string(trial));
            if (!blockOf.empty()) expectValid(sets, packed(blockOf), limits), ++found;
        }
    }
    EXPECT_GT(found, 40);  // both answers well represented
    EXPECT_LT(found, 360);
}

TEST(Packing, FindsWhatTheGreedyPackingMissesAndStopsAtItsLimit) {
    for (int pairs : {1, 4, 8}) {
        const std::vector<ColorSet> sets = greedyTrap(pairs);
        const Packing packing = packColorSets(sets, PackingLimits{2 * pairs, 16});
        SCOPED_TRACE("pairs " + std::to_string(pairs));
        expectValid(sets, packing, PackingLimits{2 * pairs, 16});
        EXPECT_TRUE(packing.searched);  // the greedy packing alone did not find it
        EXPECT_EQ(packing.blocks, 2 * pairs);
    }
    // No time for the search: the greedy packing's count, and no claim that none exists.
    const Packing cut = packColorSets(greedyTrap(8), PackingLimits{16, 16, std::chrono::milliseconds(0)});
    EXPECT_EQ(cut.outcome, Packing::Outcome::TimeLimit);
    EXPECT_GT(cut.blocks, 16);
    // Sets inside others cost nothing, and a set that another one holds goes to that one's block.
    std::vector<ColorSet> nested = greedyTrap(8);
    nested.push_back(range(3, 5));
    nested.push_back(range(32 + 16, 32 + 17));
    const Packing withNested = packColorSets(nested);
    expectValid(nested, withNested);
    EXPECT_EQ(withNested.blockOf[48], withNested.blockOf[0]);
}

TEST(Packing, NoPackingOnlyWithAProof) {
    // 17 sets of 16 colours, each pair sharing 8: no two fit a block together, and the proof names them.
    std::vector<ColorSet> apart;
    for (int s = 0; s < 17; ++s) apart.push_back(range(s * 8, s * 8 + 16));
    apart.push_back(range(0, 4));  // inside the first: not part of the proof
    Packing packing = packColorSets(apart);
    EXPECT_EQ(packing.outcome, Packing::Outcome::Apart);
    std::vector<int> all(17);
    for (int i = 0; i < 17; ++i) all[i] = i;
    EXPECT_EQ(packing.apart, all);
    // More colours than 16 blocks hold.
    std::vector<ColorSet> many;
    for (int s = 0; s < 17; ++s) many.push_back(range(s * 16, s * 16 + 16));
    packing = packColorSets(many);
    EXPECT_EQ(packing.outcome, Packing::Outcome::TooManyColors);
    EXPECT_EQ(packing.colors, 272);
    // Sets that fit pairwise but not in two blocks of 4 (their conflicts form a five-cycle): only the
    // complete search can tell.
    const std::vector<ColorSet> cycle{{0, 5}, {5, 7}, {1, 4, 6, 7}, {3, 4, 5}, {5, 6}};
    EXPECT_EQ(packColorSets(cycle, PackingLimits{2, 4}).outcome, Packing::Outcome::Exhausted);
    expectValid(cycle, packColorSets(cycle, PackingLimits{3, 4}), PackingLimits{3, 4});

    // Small random cases against trying every assignment: packed exactly when a packing exists.
    std::mt19937 random(1451);
    int none = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const PackingLimits limits{2 + trial % 2, 4 + trial % 3};
        std::vector<ColorSet> sets(std::size_t(3 + random() % 5));
        for (ColorSet& set : sets) {
            for (int c = 0; c < 9; ++c)
                if (random() % 3 == 0 && int(set.size()) < limits.colors) set.push_back(std::uint16_t(c));
        }
        bool exists = false;
        std::vector<int> blockOf(sets.size(), 0);
        for (int code = 0; !exists; ++code) {
            int rest = code;
            for (int& b : blockOf) b = rest % limits.blocks, rest /= limits.blocks;
            if (rest != 0) break;
            std::vector<std::set<std::uint16_t>> blocks(std::size_t(limits.blocks));
            for (std::size_t s = 0; s < sets.size(); ++s)
                blocks[blockOf[s]].insert(sets[s].begin(), sets[s].end());
            exists = std::all_of(blocks.begin(), blocks.end(),
                                 [&](const auto& block) { return int(block.size()) <= limits.colors; });
        }
        const Packing packing = packColorSets(sets, limits);
        SCOPED_TRACE("trial " + std::to_string(trial));
        if (exists) {
            expectValid(sets, packing, limits);
        } else {
            ++none;
            EXPECT_NE(packing.outcome, Packing::Outcome::Packed);
            EXPECT_NE(packing.outcome, Packing::Outcome::TimeLimit);
        }
    }
    EXPECT_GT(none, 40);  // both answers well represented
    EXPECT_LT(none, 360);
}

}  // namespace
}  // namespace nrbx::importing
