// The block packing on its own: the greedy packing that finds most packings, the complete search where
// it fails, and the proofs that no packing exists.

#include <algorithm>
#include <random>
#include <vector>

#include "import/packing.h"
#include "yardstick.h"

namespace nrbx::bench {
namespace {

using importing::ColorSet;

ColorSet range(int from, int to) {
    ColorSet set;
    for (int c = from; c < to; ++c) set.push_back(std::uint16_t(c));
    return set;
}

// Cells that are random parts of hidden blocks of 16 colours: `own` colours each block has alone, the
// rest drawn from a pool all of them share; `perBlock` cells of `size` colours each, or (perBlock 0)
// 256 cells of 4..16 colours from random blocks.
std::vector<ColorSet> hiddenBlocks(int blocks, int own, int perBlock, int size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<ColorSet> hidden(blocks);
    const int pool = 16 - own + 8;
    for (int h = 0; h < blocks; ++h) {
        hidden[h] = range(h * own, h * own + own);
        ColorSet shared = range(blocks * own, blocks * own + pool);
        std::shuffle(shared.begin(), shared.end(), random);
        hidden[h].insert(hidden[h].end(), shared.begin(), shared.begin() + (16 - own));
    }
    const auto part = [&](ColorSet set, std::size_t n) {
        std::shuffle(set.begin(), set.end(), random);
        set.resize(n);
        std::sort(set.begin(), set.end());
        return set;
    };
    std::vector<ColorSet> sets;
    if (perBlock == 0) {
        for (int c = 0; c < 256; ++c) sets.push_back(part(hidden[random() % blocks], 4 + random() % 13));
    } else {
        for (int h = 0; h < blocks; ++h)
            for (int k = 0; k < perBlock; ++k) sets.push_back(part(hidden[h], std::size_t(size)));
    }
    return sets;
}

// Eight pairs of 16-colour blocks given as halves and bridging middles: best-fit decreasing needs 24
// blocks, the search finds the 16.
std::vector<ColorSet> greedyTrap() {
    std::vector<ColorSet> sets;
    for (int p = 0; p < 8; ++p)
        for (int start : {0, 16, 8, 24, 4, 20}) sets.push_back(range(p * 32 + start, p * 32 + start + 8));
    return sets;
}

// 17 cells of 16 colours, each pair sharing 8: proven apart.
std::vector<ColorSet> seventeenApart() {
    std::vector<ColorSet> sets;
    for (int s = 0; s < 17; ++s) sets.push_back(range(s * 8, s * 8 + 16));
    return sets;
}

// 0: greedy packs 256 cells from 16 blocks; 1: only the search packs; 2: proof by 17 sets apart;
// 3: 34 cells from 17 blocks, proven by the complete search to need more than 16; 4: 51 cells from 17
// blocks that the search can neither pack nor prove within its limit.
std::vector<ColorSet> packingCase(int mode) {
    switch (mode) {
        case 0:
            return hiddenBlocks(16, 8, 0, 0, 7);
        case 1:
            return greedyTrap();
        case 2:
            return seventeenApart();
        case 3:
            return hiddenBlocks(17, 6, 2, 10, 630);
        default:
            return hiddenBlocks(17, 8, 3, 8, 838);
    }
}

void PackColorSets(benchmark::State& state) {
    const std::vector<ColorSet> sets = packingCase(int(state.range(0)));
    importing::Packing packing;
    timeEach(state, [&] { packing = importing::packColorSets(sets); });
    state.counters["searched"] = packing.searched ? 1 : 0;
    state.counters["outcome"] = double(int(packing.outcome));
}
BENCHMARK(PackColorSets)->DenseRange(0, 4)->UseManualTime();

}  // namespace
}  // namespace nrbx::bench
